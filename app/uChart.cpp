#include "app/uChart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

namespace {

QDateEdit* DateField(QWidget* parent, const QDate& date, const char* name) {
  auto* edit = new QDateEdit(date, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setCalendarPopup(true);
  // The user's order of day, month and year, always with the year's four digits.
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("yyyy")))
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  edit->setDisplayFormat(format);
  return edit;
}

QCheckBox* CheckBox(QWidget* parent, const QString& caption, bool on, const char* name) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(on);
  return box;
}

}  // namespace

TfrmChart::TfrmChart(QWidget* parent, const TqorChartSettings& settings, bool forExport)
    : QDialog(parent), forExport_(forExport), initial_(settings) {
  setObjectName(QStringLiteral("frmChart"));
  setWindowTitle(forExport ? QStringLiteral("Export Chart") : QStringLiteral("Print Chart"));
  auto* form = new QFormLayout(this);
  edtFrom = DateField(this, settings.From, "edtFrom");
  edtTo = DateField(this, settings.To, "edtTo");
  form->addRow(QStringLiteral("&From:"), edtFrom);
  form->addRow(QStringLiteral("&To:"), edtTo);
  cboScale = new QComboBox(this);
  cboScale->setObjectName(QStringLiteral("cboScale"));
  cboScale->addItems({QStringLiteral("Days"), QStringLiteral("Weeks"), QStringLiteral("Months")});
  cboScale->setCurrentIndex(static_cast<int>(settings.Scale));
  form->addRow(QStringLiteral("&Scale:"), cboScale);
  chkUnfolded = CheckBox(this, QStringLiteral("Show the tasks of &folded projects"),
                         settings.AllUnfolded, "chkUnfolded");
  chkCritical = CheckBox(this, QStringLiteral("Outline the &critical path"), settings.CriticalPath,
                         "chkCritical");
  chkFit =
      CheckBox(this, QStringLiteral("Fit the chart on &one page"), settings.FitToPage, "chkFit");
  form->addRow(chkUnfolded);
  form->addRow(chkCritical);
  if (forExport) {
    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    cboFormat->addItems({QStringLiteral("PDF document"), QStringLiteral("PNG image"),
                         QStringLiteral("SVG drawing")});
    cboFormat->setCurrentIndex(static_cast<int>(settings.Format));
    form->addRow(QStringLiteral("Fo&rmat:"), cboFormat);
    cboPaper = new QComboBox(this);
    cboPaper->setObjectName(QStringLiteral("cboPaper"));
    cboPaper->addItems({QStringLiteral("A4"), QStringLiteral("Letter"), QStringLiteral("A3")});
    cboPaper->setCurrentIndex(settings.Paper);
    form->addRow(QStringLiteral("&Paper:"), cboPaper);
    chkLandscape = CheckBox(this, QStringLiteral("&Landscape"), settings.Landscape, "chkLandscape");
    form->addRow(chkLandscape);
    form->addRow(chkFit);
    spnDpi = new QSpinBox(this);
    spnDpi->setObjectName(QStringLiteral("spnDpi"));
    spnDpi->setRange(24, 1200);
    spnDpi->setSuffix(QStringLiteral(" dpi"));
    spnDpi->setValue(settings.Dpi);
    form->addRow(QStringLiteral("&Resolution:"), spnDpi);
    const auto formatChanged = [this] {
      const bool pdf = cboFormat->currentIndex() == static_cast<int>(TqorChartFormat::Pdf);
      cboPaper->setEnabled(pdf);
      chkLandscape->setEnabled(pdf);
      chkFit->setEnabled(pdf);
      spnDpi->setEnabled(cboFormat->currentIndex() == static_cast<int>(TqorChartFormat::Png));
    };
    connect(cboFormat, &QComboBox::currentIndexChanged, this, formatChanged);
    formatChanged();
  } else {
    form->addRow(chkFit);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmChart::CheckAndAccept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

void TfrmChart::CheckAndAccept() {
  const qint64 days = edtFrom->date().daysTo(edtTo->date()) + 1;
  if (days < 1) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral("The period ends before it starts."));
    edtTo->setFocus();
    return;
  }
  if (days > kMaxChartDays) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("The period has %1 days; at most %2 can be shown.")
                             .arg(days)
                             .arg(kMaxChartDays));
    edtTo->setFocus();
    return;
  }
  accept();
}

TqorChartSettings TfrmChart::Settings() const {
  TqorChartSettings s = initial_;
  s.From = edtFrom->date();
  s.To = edtTo->date();
  s.Scale = static_cast<TqorChartScale>(cboScale->currentIndex());
  s.AllUnfolded = chkUnfolded->isChecked();
  s.CriticalPath = chkCritical->isChecked();
  s.FitToPage = chkFit->isChecked();
  if (forExport_) {
    s.Format = static_cast<TqorChartFormat>(cboFormat->currentIndex());
    s.Paper = cboPaper->currentIndex();
    s.Landscape = chkLandscape->isChecked();
    s.Dpi = spnDpi->value();
  }
  return s;
}
