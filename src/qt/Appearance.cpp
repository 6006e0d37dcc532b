#include "qt/Appearance.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QTranslator>

#include <cmath>

namespace tw::qt {

QString oneFace() {
    return QStringLiteral("Noto Sans CJK SC");
}

QColor toQColor(Color value, const QPalette& palette) {
    if (!colors::isSystemColor(value)) {
        return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                      static_cast<int>((value >> 16) & 0xFFu));
    }
    switch (colors::systemIndex(value)) {
    case 0:
        return palette.color(QPalette::Midlight);
    case 5:
        return palette.color(QPalette::Base);
    case 8:
        return palette.color(QPalette::Text);
    case 13:
        return palette.color(QPalette::Highlight);
    case 14:
        return palette.color(QPalette::HighlightedText);
    case 15:
        return palette.color(QPalette::Button);
    case 16:
        return palette.color(QPalette::Dark);
    case 17:
        return palette.color(QPalette::PlaceholderText);
    case 18:
        return palette.color(QPalette::ButtonText);
    case 20:
        return palette.color(QPalette::Light);
    default:
        return palette.color(QPalette::WindowText);
    }
}

QFont storedFont(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    if (bold) {
        // Matched by its style name, a bold font keeps the regular face and is drawn bold
        // from it: a second face would cost its own font pages at every start.
        font.setStyleName(QStringLiteral("Regular"));
    }
    return font;
}

void installFontSubstitutions() {
    // One installed face for every stored family: each further face costs megabytes of font
    // pages and FreeType memory and a good part of the start-up. The system font (menus,
    // boxes) falls back on the same face for Chinese, which fontconfig would otherwise take
    // from another face of the collection, by the locale.
    const QStringList face = {oneFace()};
    for (const char* family : {"宋体", "华文中宋", "华文行楷", "楷体", "微软雅黑"}) {
        QFont::insertSubstitutions(QString::fromUtf8(family), face);
    }
    QFont::insertSubstitutions(QGuiApplication::font().family(), face);
}

void installTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace tw::qt
