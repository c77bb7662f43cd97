// The chart's options: the period, the scale, what it shows, and for an export the format, the
// paper, the orientation and the resolution. File, Export Chart asks all of them; File, Print
// and Print Preview ask what the print dialog does not (the paper is its own).
#pragma once

#include <QDate>
#include <QDialog>

#include "planner/chart/qorChartLayout.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QSpinBox;

enum class TqorChartFormat { Pdf, Png, Svg };

struct TqorChartSettings {
  QDate From;
  QDate To;
  TqorChartScale Scale = TqorChartScale::Day;
  TqorChartFormat Format = TqorChartFormat::Pdf;
  int Paper = 0;  // A4, Letter, A3
  bool Landscape = true;
  bool FitToPage = false;
  int Dpi = 96;
  bool AllUnfolded = false;
  bool CriticalPath = false;
};

class TfrmChart : public QDialog {
  Q_OBJECT
 public:
  // forExport: with the format, the paper, the orientation and the resolution.
  TfrmChart(QWidget* parent, const TqorChartSettings& settings, bool forExport);
  TqorChartSettings Settings() const;

 private:
  void CheckAndAccept();

  bool forExport_;
  TqorChartSettings initial_;
  QDateEdit* edtFrom = nullptr;
  QDateEdit* edtTo = nullptr;
  QComboBox* cboScale = nullptr;
  QComboBox* cboFormat = nullptr;
  QComboBox* cboPaper = nullptr;
  QCheckBox* chkLandscape = nullptr;
  QCheckBox* chkFit = nullptr;
  QSpinBox* spnDpi = nullptr;
  QCheckBox* chkUnfolded = nullptr;
  QCheckBox* chkCritical = nullptr;
};
