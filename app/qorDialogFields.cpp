#include "app/qorDialogFields.h"

#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "planner/base/qorRegionalSettings.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorVariant.h"

namespace {

// Day 0 of the day numbers.
const QDate kDayZero(1899, 12, 30);

const QString kTitle = QStringLiteral("Vazadod");

// A date picker that Tab leaves like any other field (the arrow keys move between day, month and
// year), where Qt's own moves to the next part of the date first.
class TDatePicker : public QDateEdit {
 public:
  using QDateEdit::QDateEdit;

 protected:
  bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

// An input prompt whose OK runs a check first; a message from it keeps the prompt open.
class TCheckedPrompt : public QInputDialog {
 public:
  TCheckedPrompt(QWidget* parent, TqorInputCheck check)
      : QInputDialog(parent), check_(std::move(check)) {}

  void done(int result) override {
    if (result == QDialog::Accepted && check_) {
      const std::string problem = check_(textValue().toStdString());
      if (!problem.empty()) {
        ShowInfo(this, problem);
        return;
      }
    }
    QInputDialog::done(result);
  }

 private:
  TqorInputCheck check_;
};

// Takes the characters XML cannot hold out of what the field is given.
class TXmlCharactersValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override {
    input = WithoutNonXmlCharacters(input, &position);
    return Acceptable;
  }
};

bool IsXmlUnit(char16_t unit) {
  return unit == 0x9 || unit == 0xA || unit == 0xD ||
         (unit >= 0x20 && unit != 0xFFFE && unit != 0xFFFF);
}

}  // namespace

QString WithoutNonXmlCharacters(const QString& text, int* position) {
  QString out;
  out.reserve(text.size());
  int removedBefore = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out += c;
      out += text[++i];
      continue;
    }
    if (!c.isSurrogate() && IsXmlUnit(c.unicode())) {
      out += c;
      continue;
    }
    if (position && i < *position) ++removedBefore;
  }
  if (position) *position -= removedBefore;
  return out;
}

void KeepXmlCharacters(QLineEdit* field) {
  field->setValidator(new TXmlCharactersValidator(field));
}

void KeepXmlCharacters(QPlainTextEdit* field) {
  QTextDocument* document = field->document();
  QObject::connect(
      document, &QTextDocument::contentsChange, field, [document](int from, int, int added) {
        const int end = std::min(from + added, document->characterCount());
        // Backwards, so that a removal moves nothing still to be looked at; a
        // surrogate pair is looked at as one.
        for (int at = end - 1; at >= from; --at) {
          const QChar c = document->characterAt(at);
          if (c.isLowSurrogate() && at > from && document->characterAt(at - 1).isHighSurrogate()) {
            --at;
            continue;
          }
          if (!c.isSurrogate() && IsXmlUnit(c.unicode())) continue;
          QTextCursor cursor(document);
          cursor.setPosition(at);
          cursor.deleteChar();
        }
      });
}

QString NumberText(double value) {
  return QString::fromStdString(RealToText(value, "."));
}

bool ReadNumber(const QString& text, double& value) {
  return TryTextToFloat(text.toStdString(), ".", value);
}

QString QtDateFormat(const std::string& pattern) {
  QString out;
  QString literal;
  // Separators go as they are; a literal with letters (which Qt might read as a format) or a
  // quote goes in quotes.
  auto flushLiteral = [&] {
    bool quote = false;
    for (QChar c : literal) quote = quote || c.isLetter() || c == QLatin1Char('\'');
    if (quote) {
      out += QLatin1Char('\'') + QString(literal).replace(QLatin1String("'"), QLatin1String("''")) +
             QLatin1Char('\'');
    } else {
      out += literal;
    }
    literal.clear();
  };
  const QString p = QString::fromStdString(pattern);
  for (qsizetype i = 0; i < p.size();) {
    const QChar c = p[i];
    if (c == QLatin1Char('"')) {
      const qsizetype end = p.indexOf(QLatin1Char('"'), i + 1);
      literal += p.mid(i + 1, (end < 0 ? p.size() : end) - i - 1);
      i = end < 0 ? p.size() : end + 1;
      continue;
    }
    if (c == QLatin1Char('y') || c == QLatin1Char('M') || c == QLatin1Char('d')) {
      qsizetype n = 1;
      while (i + n < p.size() && p[i + n] == c) ++n;
      flushLiteral();
      if (c == QLatin1Char('y')) {
        out += n >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy");
      } else {
        // Month and day names are the abbreviated ones.
        out += QString(std::min<qsizetype>(n, 3), c);
      }
      i += n;
      continue;
    }
    literal += c;
    ++i;
  }
  flushLiteral();
  return out;
}

QDateEdit* NewDatePicker(QWidget* parent) {
  auto* picker = new TDatePicker(parent);
  picker->setCalendarPopup(true);
  picker->setDisplayFormat(QtDateFormat(RegionalSettings().ShortDateFormat));
  picker->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
  return picker;
}

QDate DayToDate(double day) {
  return kDayZero.addDays(static_cast<qint64>(std::floor(day)));
}

double DateToDay(const QDate& date) {
  return static_cast<double>(kDayZero.daysTo(date));
}

bool InputQuery(QWidget* parent, const QString& caption, const QString& label, QString& value,
                int maxLength, const TqorInputCheck& check) {
  TCheckedPrompt prompt(parent, check);
  prompt.setObjectName(QStringLiteral("InputQuery"));
  prompt.setWindowTitle(caption);
  prompt.setLabelText(label);
  prompt.setInputMode(QInputDialog::TextInput);
  if (auto* edit = prompt.findChild<QLineEdit*>()) {
    if (maxLength > 0) edit->setMaxLength(maxLength);
    KeepXmlCharacters(edit);
  }
  prompt.setTextValue(value);
  if (prompt.exec() != QDialog::Accepted) return false;
  value = prompt.textValue();
  return true;
}

bool AskYesNo(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void ShowInfo(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, kTitle, text);
}

void ShowInfo(QWidget* parent, const std::string& text) {
  ShowInfo(parent,
           QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void CentreOverOwner(QWidget* window) {
  QRect area;
  if (const QWidget* owner = window->parentWidget()) {
    area = owner->window()->frameGeometry();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  QRect r = window->frameGeometry();
  r.moveCenter(area.center());
  window->move(r.topLeft());
}
