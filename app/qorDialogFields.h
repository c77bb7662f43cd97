// What the planner's dialogs share: numbers written and read with "." whatever the regional
// settings, date pickers showing the user's short date format, day numbers to and from dates,
// the one-line input prompt and the Yes/No question, placing a window over its owner, and text
// fields that take no character XML cannot hold.
#pragma once

#include <QString>

#include <string>

#include "planner/base/qorUserPrompts.h"

class QDate;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// General format with up to 15 significant digits and "." (37.5, 100, 66.6666666666667).
QString NumberText(double value);
// True with the value when the whole text reads as a number with "." as decimal separator
// (blanks around allowed); an empty text is not a number.
bool ReadNumber(const QString& text, double& value);

// The regional settings' date pattern ("dd/MM/yyyy", "d. MMMM yyyy", ...) as a display format
// of Qt's date widgets; literal text is quoted.
QString QtDateFormat(const std::string& pattern);
// A drop-down date picker in the short date format of the regional settings.
QDateEdit* NewDatePicker(QWidget* parent);
QDate DayToDate(double day);
double DateToDay(const QDate& date);

// The one-line input prompt (object name "InputQuery"): caption, label, the text to start with;
// true with the text on OK. maxLength > 0 limits the text to that many characters. check, when
// given, runs on OK: while it returns a message, the message is shown and the prompt stays open
// with the text typed.
bool InputQuery(QWidget* parent, const QString& caption, const QString& label, QString& value,
                int maxLength = 0, const TqorInputCheck& check = {});
// A Yes/No question; true on Yes (No is the default button).
bool AskYesNo(QWidget* parent, const QString& text);
// A message with an OK button.
void ShowInfo(QWidget* parent, const QString& text);
// A message of the core (its "\r\n" line ends shown as plain line breaks) with an OK button.
void ShowInfo(QWidget* parent, const std::string& text);

// Moves the window so that it is centred over its owner's window (or the screen without one).
void CentreOverOwner(QWidget* window);

// The text without the characters XML cannot hold (control characters other than tab, line
// feed and carriage return, U+FFFE, U+FFFF and halves of surrogate pairs standing alone): no
// text the planner stores can then spoil its XML export. A position in the text, when given,
// is moved back by the characters removed before it.
QString WithoutNonXmlCharacters(const QString& text, int* position = nullptr);
// Keeps those characters out of a field, whether typed, pasted or set.
void KeepXmlCharacters(QLineEdit* field);
void KeepXmlCharacters(QPlainTextEdit* field);
