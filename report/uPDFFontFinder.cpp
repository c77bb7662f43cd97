#include "report/uPDFFontFinder.h"

#include <fontconfig/fontconfig.h>

#include <cstring>

TPDFFontFinder& TPDFFontFinder::Instance() {
  static TPDFFontFinder* finder = new TPDFFontFinder();  // lives as long as the process
  return *finder;
}

TPDFFontFinder::~TPDFFontFinder() {
  for (TChain& chain : chains_)
    for (TCandidate& c : chain.Candidates) FcCharSetDestroy(static_cast<FcCharSet*>(c.CharSet));
}

TPDFFontFinder::TChain& TPDFFontFinder::Chain(bool bold) {
  TChain& chain = chains_[bold ? 1 : 0];
  if (chain.Built) return chain;
  chain.Built = true;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("DejaVu Sans"));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  if (!sorted) return chain;
  for (int i = 0; i < sorted->nfont; ++i) {
    FcPattern* font = sorted->fonts[i];
    FcChar8* file = nullptr;
    FcChar8* format = nullptr;
    FcCharSet* charSet = nullptr;
    int index = 0;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
        FcPatternGetCharSet(font, FC_CHARSET, 0, &charSet) != FcResultMatch)
      continue;
    if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch ||
        std::strcmp(reinterpret_cast<const char*>(format), "TrueType") != 0)
      continue;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    chain.Candidates.push_back({reinterpret_cast<const char*>(file), static_cast<unsigned>(index),
                                FcCharSetCopy(charSet)});
  }
  FcFontSetDestroy(sorted);
  return chain;
}

const TPDFFontFace* TPDFFontFinder::Load(const TCandidate& candidate) {
  auto key = std::make_pair(candidate.File, candidate.Index);
  auto found = faces_.find(key);
  if (found != faces_.end()) return found->second.get();
  std::unique_ptr<TPDFFontFace> face;
  try {
    face = std::make_unique<TPDFFontFace>(candidate.File, candidate.Index);
    if (!face->HasTrueTypeOutlines()) face.reset();
  } catch (const std::exception&) {
    face.reset();
  }
  return (faces_[key] = std::move(face)).get();
}

const TPDFFontFace* TPDFFontFinder::FaceFor(char32_t c, bool bold) {
  std::lock_guard<std::mutex> lock(mutex_);
  TChain& chain = Chain(bold);
  auto found = chain.ByCharacter.find(c);
  if (found != chain.ByCharacter.end()) return found->second;
  const TPDFFontFace* face = nullptr;
  for (const TCandidate& candidate : chain.Candidates) {
    if (!FcCharSetHasChar(static_cast<FcCharSet*>(candidate.CharSet), c)) continue;
    const TPDFFontFace* loaded = Load(candidate);
    if (loaded && loaded->HasCharacter(c)) {
      face = loaded;
      break;
    }
  }
  chain.ByCharacter[c] = face;
  return face;
}

const TPDFFontFace* TPDFFontFinder::FirstFace(bool bold) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const TCandidate& candidate : Chain(bold).Candidates)
    if (const TPDFFontFace* face = Load(candidate)) return face;
  return nullptr;
}
