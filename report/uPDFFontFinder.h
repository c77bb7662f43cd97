// The installed fonts that text outside the standard fonts' encoding is set in: a fallback chain
// that fontconfig sorts by closeness to DejaVu Sans (regular or bold), keeping TrueType fonts
// only, through which each character goes to the first font that has a glyph for it. One finder
// serves the whole process; its faces stay loaded until the process ends.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/uPDFFontFace.h"

class TPDFFontFinder {
 public:
  static TPDFFontFinder& Instance();

  // The first font of the chain that has the character; nullptr when no installed font has it.
  const TPDFFontFace* FaceFor(char32_t c, bool bold);
  // The chain's first font, which draws the characters no font has as its missing-glyph box;
  // nullptr when fontconfig knows no TrueType font at all.
  const TPDFFontFace* FirstFace(bool bold);

 private:
  struct TCandidate {
    std::string File;
    unsigned Index = 0;
    void* CharSet = nullptr;  // the font's FcCharSet, owned
  };
  struct TChain {
    bool Built = false;
    std::vector<TCandidate> Candidates;
    std::unordered_map<char32_t, const TPDFFontFace*> ByCharacter;
  };

  TPDFFontFinder() = default;
  ~TPDFFontFinder();
  TChain& Chain(bool bold);
  // The loaded face of a candidate, nullptr when it can't be used.
  const TPDFFontFace* Load(const TCandidate& candidate);

  std::mutex mutex_;
  TChain chains_[2];  // regular, bold
  std::map<std::pair<std::string, unsigned>, std::unique_ptr<TPDFFontFace>> faces_;
};
