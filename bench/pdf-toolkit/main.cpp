// Writes a 100-page table report (A4 portrait, a heading, 40 rows of 6 outlined cells with a
// shaded header row, a footer line and "page n of 100" on every page) three ways and reports the
// best of three times and the file sizes:
//   toolkit       through the toolkit, in millimetres from the top-left corner, one regular and
//                 one bold font for the whole document, content compressed before saving;
//   toolkit/rows  the same, adding the bold and regular fonts again for every row, as the PDF
//                 reports do (the toolkit never shares a font object);
//   cairo         the same content through Cairo's PDF surface (its toy font API, "Helvetica",
//                 which fontconfig maps to an installed font that Cairo embeds as a subset).
// usage: bench_pdf_toolkit [folder]   (default: a new folder /tmp/bench-pdf-XXXXXX)
#include <cairo-pdf.h>
#include <cairo.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "report/uPDFToolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPages = 100;
constexpr int kRows = 40;
constexpr int kColumns = 6;
constexpr double kLeft = 25, kTop = 25, kRowHeight = 6;
constexpr double kColumnWidth[kColumns] = {15, 60, 25, 25, 20, 15};  // 160 mm
constexpr double kPointsPerMm = 72 / 25.4;

std::string CellText(int page, int row, int column) {
  if (row == 0) {
    static const char* const kHeads[kColumns] = {"Id", "Task", "Start", "End", "Hours", "Done"};
    return kHeads[column];
  }
  int id = (page - 1) * kRows + row;
  switch (column) {
    case 0:
      return std::to_string(id);
    case 1:
      return "Task number " + std::to_string(id) + " of the project";
    case 2:
      return std::to_string(1 + id % 28) + "-03-2024";
    case 3:
      return std::to_string(1 + (id + 5) % 28) + "-04-2024";
    case 4:
      return std::to_string(id % 97) + ".5";
    default:
      return std::to_string(id % 101) + " %";
  }
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void WriteWithToolkit(const std::string& file, bool fontsPerRow) {
  TPDFToolkit pdf;
  pdf.SetPageSize("A4");
  pdf.SetOrigin(1);
  pdf.SetMeasurementUnits(1);
  TPDFHandle bold = pdf.AddStandardFont(5);
  TPDFHandle regular = pdf.AddStandardFont(4);
  for (int page = 1; page <= kPages; ++page) {
    if (page > 1) pdf.NewPage();
    pdf.SelectFont(bold);
    pdf.SetTextSize(16);
    pdf.SetTextColor(0, 0, 0);
    pdf.DrawTextBox(kLeft, kTop, 160, 10, "Tasks report", 1);
    for (int row = 0; row < kRows; ++row) {
      if (fontsPerRow) {
        bold = pdf.AddStandardFont(5);
        regular = pdf.AddStandardFont(4);
      }
      pdf.SelectFont(row == 0 ? bold : regular);
      pdf.SetTextSize(9);
      double x = kLeft, y = kTop + 12 + row * kRowHeight;
      for (int column = 0; column < kColumns; ++column) {
        pdf.SetLineWidth(0.1);
        pdf.SetLineColor(0, 0, 0);
        if (row == 0)
          pdf.SetFillColor(0.8, 0.8, 0.8);
        else
          pdf.SetFillColor(1, 1, 1);
        pdf.DrawBox(x, y, kColumnWidth[column], kRowHeight, 2);
        pdf.SetTextColor(0, 0, 0);
        pdf.DrawTextBox(x + 1, y, kColumnWidth[column] - 2, kRowHeight, CellText(page, row, column),
                        0);
        x += kColumnWidth[column];
      }
    }
    pdf.SetLineWidth(0.1);
    pdf.DrawLine(kLeft, 280, kLeft + 160, 280);
    pdf.SetTextSize(6);
    pdf.SetTextAlign(2);
    pdf.DrawTextBox(kLeft, 280, 160, 8,
                    "page " + std::to_string(page) + " of " + std::to_string(kPages), 0);
    pdf.SetTextAlign(0);
  }
  pdf.CompressContent();
  if (!pdf.SaveToFile(file)) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    std::exit(1);
  }
}

void WriteWithCairo(const std::string& file) {
  const double pageWidth = 210 * kPointsPerMm, pageHeight = 297 * kPointsPerMm;
  cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), pageWidth, pageHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, kPointsPerMm, kPointsPerMm);  // millimetres from the top-left corner
  auto text = [&](double x, double baseline, const std::string& s) {
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, s.c_str());
  };
  auto points = [](double pt) { return pt / kPointsPerMm; };
  for (int page = 1; page <= kPages; ++page) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_select_font_face(cr, "Helvetica", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, points(16));
    text(kLeft, kTop + points(16 * 0.962), "Tasks report");
    for (int row = 0; row < kRows; ++row) {
      cairo_select_font_face(cr, "Helvetica", CAIRO_FONT_SLANT_NORMAL,
                             row == 0 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
      cairo_set_font_size(cr, points(9));
      double x = kLeft, y = kTop + 12 + row * kRowHeight;
      for (int column = 0; column < kColumns; ++column) {
        cairo_set_line_width(cr, 0.1);
        cairo_rectangle(cr, x, y, kColumnWidth[column], kRowHeight);
        double shade = row == 0 ? 0.8 : 1;
        cairo_set_source_rgb(cr, shade, shade, shade);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_stroke(cr);
        // Vertically centred like the toolkit's text box: baseline at the box middle plus
        // half the line height minus the height above the baseline.
        double lineHeight = points(9 * 1.156), above = points(9 * 0.931);
        text(x + 1, y + (kRowHeight - lineHeight) / 2 + above, CellText(page, row, column));
        x += kColumnWidth[column];
      }
    }
    cairo_set_line_width(cr, 0.1);
    cairo_move_to(cr, kLeft, 280);
    cairo_line_to(cr, kLeft + 160, 280);
    cairo_stroke(cr);
    cairo_set_font_size(cr, points(6));
    std::string footer = "page " + std::to_string(page) + " of " + std::to_string(kPages);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, footer.c_str(), &extents);
    text(kLeft + 160 - extents.x_advance, 280 + 4 + points(6 * 0.3), footer);
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "cairo: %s\n", cairo_status_to_string(cairo_surface_status(surface)));
    std::exit(1);
  }
  cairo_surface_destroy(surface);
}

struct Result {
  double Seconds;
  uintmax_t Bytes;
};

template <class F>
Result Best(const std::string& file, F&& write) {
  Result r{1e9, 0};
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    write(file);
    r.Seconds = std::min(r.Seconds, Seconds(start));
  }
  r.Bytes = std::filesystem::file_size(file);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    std::string pattern = "/tmp/bench-pdf-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
  }
  Result toolkit =
      Best(folder + "/toolkit.pdf", [](const std::string& f) { WriteWithToolkit(f, false); });
  Result rows =
      Best(folder + "/toolkit-rows.pdf", [](const std::string& f) { WriteWithToolkit(f, true); });
  Result cairo = Best(folder + "/cairo.pdf", [](const std::string& f) { WriteWithCairo(f); });

  std::printf("%d pages of %d rows x %d cells, best of 3 runs, files in %s\n", kPages, kRows,
              kColumns, folder.c_str());
  std::printf("%-14s %10s %12s %12s %12s\n", "", "ms", "bytes", "time/cairo", "size/cairo");
  auto line = [&](const char* name, const Result& r) {
    std::printf("%-14s %10.1f %12ju %12.2f %12.2f\n", name, r.Seconds * 1000, r.Bytes,
                r.Seconds / cairo.Seconds,
                static_cast<double>(r.Bytes) / static_cast<double>(cairo.Bytes));
  };
  line("toolkit", toolkit);
  line("toolkit/rows", rows);
  line("cairo", cairo);
  return 0;
}
