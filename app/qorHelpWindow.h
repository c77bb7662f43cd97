// The help window: one page of the program's help, shown at a topic's anchor. Created once and
// reused; it stays open beside the main window.
#pragma once

#include <QDialog>

class QTextBrowser;

class TqorHelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit TqorHelpWindow(QWidget* parent = nullptr);
  // Shows the file scrolled to the anchor and brings the window to the front. Returns false,
  // showing nothing, when the file does not exist.
  bool ShowTopic(const QString& fileName, const QString& anchor);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};
