#include "report/uPDFFontFallback.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>

#include "planner/base/qorUtf8.h"
#include "report/uPDFDocument.h"
#include "report/uPDFFontFinder.h"

namespace {

constexpr size_t kCacheLimit = 20000;

bool IsMark(hb_unicode_funcs_t* funcs, char32_t c) {
  switch (hb_unicode_general_category(funcs, c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
      return true;
    default:
      return c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F);
  }
}

// A piece of the text of one level, script and font.
struct TItem {
  size_t Start, End;
  FriBidiLevel Level;
  hb_script_t Script;
  const TPDFFontFace* Face;
};

}  // namespace

const TPDFShapedText* TPDFFontFallback::Shape(std::string_view text, bool bold) {
  std::string key(1, bold ? 'b' : 'r');
  key += text;
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second.Runs.empty() ? nullptr : &found->second;
  if (cache_.size() >= kCacheLimit) cache_.clear();
  TPDFShapedText& shaped = cache_[key] = Compute(text, bold);
  return shaped.Runs.empty() ? nullptr : &shaped;
}

TPDFShapedText TPDFFontFallback::Compute(std::string_view utf8, bool bold) const {
  TPDFShapedText out;
  TPDFFontFinder& finder = TPDFFontFinder::Instance();
  const TPDFFontFace* first = finder.FirstFace(bold);
  if (!first) return out;
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    out.Text += DecodeUtf8At(utf8, i).value_or(static_cast<unsigned char>(utf8[start]));
  }
  const std::u32string& text = out.Text;
  const size_t n = text.size();
  if (n == 0) return out;

  // Levels: a left-to-right line with the right-to-left pieces FriBidi finds in it.
  std::vector<FriBidiCharType> types(n);
  std::vector<FriBidiBracketType> brackets(n);
  std::vector<FriBidiLevel> levels(n);
  const auto* chars = reinterpret_cast<const FriBidiChar*>(text.data());
  fribidi_get_bidi_types(chars, static_cast<FriBidiStrIndex>(n), types.data());
  fribidi_get_bracket_types(chars, static_cast<FriBidiStrIndex>(n), types.data(), brackets.data());
  FriBidiParType direction = FRIBIDI_PAR_LTR;
  if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(),
                                           static_cast<FriBidiStrIndex>(n), &direction,
                                           levels.data()))
    std::fill(levels.begin(), levels.end(), 0);

  // Fonts and scripts per character.
  hb_unicode_funcs_t* funcs = hb_unicode_funcs_get_default();
  std::vector<const TPDFFontFace*> faces(n);
  std::vector<hb_script_t> scripts(n);
  for (size_t i = 0; i < n; ++i) {
    const char32_t c = text[i];
    const hb_script_t script = hb_unicode_script(funcs, c);
    const bool neutral = script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED;
    const TPDFFontFace* previous = i > 0 ? faces[i - 1] : nullptr;
    if (previous && (IsMark(funcs, c) || neutral) && previous->HasCharacter(c)) {
      faces[i] = previous;
    } else if (const TPDFFontFace* face = finder.FaceFor(c, bold)) {
      faces[i] = face;
    } else if (previous && IsMark(funcs, c)) {
      faces[i] = previous;
      ++out.Missing;
    } else {
      faces[i] = first;
      ++out.Missing;
    }
    scripts[i] = neutral && i > 0 ? scripts[i - 1] : script;
  }
  // Neutral characters at the start take the script of the first that has one.
  size_t firstScript = 0;
  while (firstScript < n &&
         (scripts[firstScript] == HB_SCRIPT_COMMON || scripts[firstScript] == HB_SCRIPT_INHERITED))
    ++firstScript;
  for (size_t i = 0; i < firstScript && firstScript < n; ++i) scripts[i] = scripts[firstScript];

  std::vector<TItem> items;
  for (size_t i = 0; i < n; ++i) {
    if (!items.empty() && items.back().Level == levels[i] && items.back().Face == faces[i] &&
        items.back().Script == scripts[i]) {
      items.back().End = i + 1;
    } else {
      items.push_back({i, i + 1, levels[i], scripts[i], faces[i]});
    }
  }
  // Visual order: from the highest level down to the lowest odd one, every stretch of items at
  // that level or above is turned round.
  FriBidiLevel highest = 0, lowestOdd = 255;
  for (const TItem& item : items) {
    highest = std::max(highest, item.Level);
    if (item.Level % 2) lowestOdd = std::min(lowestOdd, item.Level);
  }
  for (int level = highest; level >= lowestOdd && level > 0; --level) {
    for (size_t i = 0; i < items.size();) {
      if (items[i].Level < level) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < items.size() && items[j].Level >= level) ++j;
      std::reverse(items.begin() + static_cast<long>(i), items.begin() + static_cast<long>(j));
      i = j;
    }
  }

  for (const TItem& item : items) {
    TPDFShapedText::TRun run;
    run.Face = item.Face;
    run.RightToLeft = item.Level % 2 != 0;
    run.Start = item.Start;
    run.End = item.End;
    item.Face->Shape(text, item.Start, item.End - item.Start, run.RightToLeft,
                     static_cast<uint32_t>(item.Script), run.Glyphs);
    // Each cluster runs to the next larger cluster start of the piece.
    std::vector<uint32_t> starts;
    for (const TPDFShapedGlyph& g : run.Glyphs) starts.push_back(g.Cluster);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<size_t> glyphsOf(starts.size(), 0), seen(starts.size(), 0);
    auto clusterOf = [&](uint32_t cluster) {
      return static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), cluster) -
                                 starts.begin());
    };
    for (const TPDFShapedGlyph& g : run.Glyphs) ++glyphsOf[clusterOf(g.Cluster)];
    for (const TPDFShapedGlyph& g : run.Glyphs) {
      const size_t k = clusterOf(g.Cluster);
      const size_t end = k + 1 < starts.size() ? starts[k + 1] : item.End;
      std::u32string cluster = text.substr(g.Cluster, end - g.Cluster);
      std::u32string unicode;
      if (run.RightToLeft && glyphsOf[k] == cluster.size()) {
        unicode = cluster.substr(cluster.size() - 1 - seen[k], 1);
      } else if (seen[k] == 0) {
        unicode = std::move(cluster);
        if (run.RightToLeft) std::reverse(unicode.begin(), unicode.end());
      }
      ++seen[k];
      run.Unicode.push_back(std::move(unicode));
      out.Advance += g.Advance;
      ++out.Glyphs;
      if (text[g.Cluster] == U' ') ++out.Blanks;
    }
    out.Runs.push_back(std::move(run));
  }
  return out;
}

TPDFEmbeddedFont& TPDFFontFallback::EmbeddedFont(const TPDFFontFace& face) {
  std::unique_ptr<TPDFEmbeddedFont>& font = fonts_[&face];
  if (!font) {
    TPDFDictionary* object = document_.Register(document_.Structure().Make<TPDFDictionary>());
    font = std::make_unique<TPDFEmbeddedFont>(face, document_.NewResourceName("RereF"), object);
    order_.push_back(font.get());
  }
  return *font;
}

void TPDFFontFallback::Finish() {
  for (TPDFEmbeddedFont* font : order_) font->Finish(document_);
}
