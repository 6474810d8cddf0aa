#include "assets/assets.h"

#include <QFontDatabase>
#include <QIconEngine>
#include <QPainter>
#include <QResource>
#include <QSvgRenderer>

namespace assets {

QPixmap render(const QString& name, QSize size) {
    QSvgRenderer renderer(QStringLiteral(":/tessaline/%1.svg").arg(name));
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QCursor pointer(Pointer which) {
    switch (which) {
    case Pointer::BookWithQuill:
        return QCursor(render(QStringLiteral("book-quill"), {48, 48}), 24, 24);
    case Pointer::OpenBook:
        return QCursor(render(QStringLiteral("open-book"), {32, 32}), 16, 16);
    case Pointer::ExitCross:
        return QCursor(render(QStringLiteral("exit-cross"), {32, 32}), 16, 16);
    case Pointer::WindowPanes:
        return QCursor(render(QStringLiteral("window-panes"), {48, 48}), 24, 24);
    case Pointer::ShadowArrow:
        return QCursor(render(QStringLiteral("shadow-arrow"), {32, 32}), 3, 1);
    }
    return QCursor();
}

namespace {

// A window's icon is drawn only when the window system first asks for it, which a window that is
// never shown, or a screen without title bars, never does.
class RenderedOnUse final : public QIconEngine {
  public:
    RenderedOnUse(const QString& name, QSize size) : name_(name), size_(size) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new RenderedOnUse(*this); }

  private:
    const QIcon& icon() {
        if (rendered_.isNull())
            rendered_ = QIcon(render(name_, size_));
        return rendered_;
    }

    QString name_;
    QSize size_;
    QIcon rendered_;
};

} // namespace

QIcon pencilIcon() {
    return QIcon(new RenderedOnUse(QStringLiteral("pencil"), {32, 32}));
}

QIcon aboutIcon() {
    return QIcon(new RenderedOnUse(QStringLiteral("about-icon"), {32, 32}));
}

QPixmap aboutPicture() {
    // Its caption is set in the shipped font.
    dialogFontFamily();
    return render(QStringLiteral("about-picture"), {261, 168});
}

QString dialogFontFamily() {
    static const QString family = [] {
        // Stored uncompressed, the resource's bytes are handed over where they lie in the
        // executable, not copied.
        const QResource font(QStringLiteral(":/tessaline/LiberationSans-Regular.ttf"));
        const int id = QFontDatabase::addApplicationFontFromData(font.uncompressedData());
        return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
    }();
    return family;
}

} // namespace assets
