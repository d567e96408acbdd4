// The document the customer signs, as the terminal shows it: PDF pages
// rendered with poppler, a JPG picture, or an HTML page as text.
#ifndef TLXSIM_DOCUMENTVIEW_H
#define TLXSIM_DOCUMENTVIEW_H

#include <QString>
#include <QWidget>

class QLabel;
class QScrollArea;
class QStackedWidget;
class QTextBrowser;

class DocumentView : public QWidget {
  Q_OBJECT

 public:
  // Document kinds as the signature command names them.
  enum Kind { Html = 1, Jpg = 2, Pdf = 3 };
  static constexpr int kMaxPages = 20;

  explicit DocumentView(QWidget* parent = nullptr);

  // False when the file cannot be shown; the view then says so.
  bool load(int kind, const QString& file);
  void clear();
  // Pages shown (PDF pages, 1 for a picture or a page of text).
  int pageCount() const { return m_pages; }
  QString problem() const { return m_problem; }

 private:
  bool loadPdf(const QString& file);
  bool loadPicture(const QString& file);
  bool loadHtml(const QString& file);
  void showProblem(const QString& text);

  QStackedWidget* m_stack;
  QScrollArea* m_scroll;
  QLabel* m_image;
  QTextBrowser* m_text;
  int m_pages = 0;
  QString m_problem;
};

#endif
