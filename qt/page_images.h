#pragma once
// A document's pages painted on images instead of a PDF file, for previews:
// each page an image of its own size at the preview's resolution, white
// where nothing is drawn, kept as a PNG file in memory once it is finished.
//
// Fonts resolve on the images at fontDpi, the resolution the text was
// measured and shaped at, so glyphs are placed as on the PDF writer's pages;
// the painter's twips transform scales them down to the preview's dots.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QSize>
#include <QSizeF>

namespace zarn {

class PageImages {
 public:
  PageImages(int dpi, int fontDpi) : dpi_(dpi), fontDpi_(fontDpi) {}

  // Begins the painter on the first page, of the given size in twips.
  bool Begin(QPainter& painter, QSizeF twips);
  // Finishes the page and goes on on the next, of its own size (an empty
  // size: the page's before); the painter keeps its pen, brush, font and hints.
  bool Next(QPainter& painter, QSizeF twips);
  // Once the painter has ended: every page, the last one too, as PNG files.
  QList<QByteArray> Take();

 private:
  bool Start(QPainter& painter, QSizeF twips);
  void Keep();

  int dpi_, fontDpi_;
  QImage page_;
  QSizeF twips_;  // of page_
  QSize size_;    // of the finished page
  QList<QByteArray> done_;
};

}  // namespace zarn
