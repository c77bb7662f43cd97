// What lays out inline HTML text for the toolkit's HTML operations: the toolkit converts the
// caller's units, makes sure of the fonts, and saves, resets and afterwards restores the
// painter's state around the layout; the layout measures, and draws through the painter, in
// points with y growing upwards.
#pragma once

#include <array>
#include <string>
#include <string_view>

class TPDFFont;
class TPDFPainter;

class TPDFHTMLLayout {
 public:
  struct TRequest {
    std::string_view Html;
    double Left = 0;         // points
    double Top = 0;          // points, y growing upwards
    double Width = 0;        // points, above 0
    double HeightLimit = 0;  // points; below 0.1 means no limit
    bool Draw = false;       // false: only measure
  };
  struct TResult {
    double Height = 0;     // points used from the top
    std::string Overflow;  // the text that did not fit the height limit, empty when all did
  };

  virtual ~TPDFHTMLLayout() = default;
  // Lays the text out with the document's four HTML fonts (normal, bold, italic, bold italic,
  // all in the page's resources) on the painter's page.
  virtual TResult Layout(TPDFPainter& painter, const std::array<TPDFFont*, 4>& fonts,
                         const TRequest& request) = 0;
};
