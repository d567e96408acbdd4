#include "DocumentView.h"

#include "ScreenText.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QVariant>

#include <poppler-qt5.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kPageWidth = 560;            // pixels a page is rendered to
constexpr qint64 kMaxDocument = 64 << 20;  // the terminal takes no larger file

// A page of text that shows the HTML as it stands: it fetches nothing the
// page refers to (pictures, style sheets), neither files nor resources.
class SealedPage : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int, const QUrl&) override { return QVariant(); }
};

}  // namespace

DocumentView::DocumentView(QWidget* parent)
    : QWidget(parent),
      m_stack(new QStackedWidget(this)),
      m_scroll(new QScrollArea(this)),
      m_image(new QLabel),
      m_text(new SealedPage(this)) {
  m_image->setObjectName(QStringLiteral("LabelDocumentImage"));
  m_image->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  m_image->setWordWrap(true);
  m_scroll->setWidget(m_image);
  m_scroll->setWidgetResizable(true);
  m_scroll->setAlignment(Qt::AlignHCenter);
  m_text->setObjectName(QStringLiteral("TextDocument"));
  // The page is shown as it stands: no links followed, nothing fetched.
  m_text->setOpenLinks(false);
  m_text->setOpenExternalLinks(false);
  m_stack->addWidget(m_scroll);
  m_stack->addWidget(m_text);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_stack);
}

void DocumentView::clear() {
  m_pages = 0;
  m_problem.clear();
  m_image->clear();
  m_text->clear();
  m_stack->setCurrentWidget(m_scroll);
}

void DocumentView::showProblem(const QString& text) {
  m_problem = text;
  m_pages = 0;
  m_image->setPixmap(QPixmap());
  m_image->setText(text);
  m_stack->setCurrentWidget(m_scroll);
}

bool DocumentView::load(int kind, const QString& file) {
  clear();
  QFileInfo info(file);
  if (!info.isFile() || info.size() > kMaxDocument) {
    showProblem(tr("文档未下载"));
    return false;
  }
  switch (kind) {
    case Pdf:
      return loadPdf(file);
    case Jpg:
      return loadPicture(file);
    case Html:
      return loadHtml(file);
    default:
      showProblem(tr("未知的文档类型"));
      return false;
  }
}

bool DocumentView::loadPdf(const QString& file) {
  std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(file));
  if (!doc || doc->isLocked() || doc->numPages() < 1) {
    showProblem(tr("PDF 文档无法显示"));
    return false;
  }
  doc->setRenderHint(Poppler::Document::Antialiasing);
  doc->setRenderHint(Poppler::Document::TextAntialiasing);
  std::vector<QImage> pages;
  const int count = std::min(doc->numPages(), kMaxPages);
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<Poppler::Page> page(doc->page(i));
    if (!page) continue;
    const QSizeF points = page->pageSizeF();  // 1/72 inch
    if (points.width() <= 0 || points.height() <= 0) continue;
    // As wide as the view; very long pages are cut at 8 widths.
    const double dpi = 72.0 * kPageWidth / points.width();
    const int height = std::min(8 * kPageWidth, static_cast<int>(points.height() * dpi / 72));
    QImage image = page->renderToImage(dpi, dpi, 0, 0, kPageWidth, height);
    if (!image.isNull()) pages.push_back(std::move(image));
  }
  if (pages.empty()) {
    showProblem(tr("PDF 文档无法显示"));
    return false;
  }
  int total = 0;
  for (const QImage& p : pages) total += p.height() + 8;
  QImage sheet(kPageWidth, total, QImage::Format_RGB32);
  sheet.fill(QColor(90, 90, 90));
  QPainter painter(&sheet);
  int y = 0;
  for (const QImage& p : pages) {
    painter.drawImage(0, y, p);
    y += p.height() + 8;
  }
  painter.end();
  m_image->setPixmap(QPixmap::fromImage(sheet));
  m_pages = static_cast<int>(pages.size());
  return true;
}

bool DocumentView::loadPicture(const QString& file) {
  QImage image(file);
  if (image.isNull()) {
    showProblem(tr("图片无法显示"));
    return false;
  }
  if (image.width() > kPageWidth) image = image.scaledToWidth(kPageWidth, Qt::SmoothTransformation);
  m_image->setPixmap(QPixmap::fromImage(image));
  m_pages = 1;
  return true;
}

bool DocumentView::loadHtml(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) {
    showProblem(tr("网页无法显示"));
    return false;
  }
  m_text->setHtml(DocumentText(f.readAll()));
  m_stack->setCurrentWidget(m_text);
  m_pages = 1;
  return true;
}
