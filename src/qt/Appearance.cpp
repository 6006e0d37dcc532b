#include "qt/Appearance.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QTranslator>

#include <cmath>

namespace tw::qt {

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
    return font;
}

void installFontSubstitutions() {
    const QStringList serif = {QStringLiteral("Noto Serif CJK SC"),
                               QStringLiteral("Noto Sans CJK SC")};
    const QStringList sans = {QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("Noto Serif CJK SC")};
    // Song and Kai faces are closest to the serif design; YaHei is a sans face.
    QFont::insertSubstitutions(QStringLiteral("宋体"), serif);
    QFont::insertSubstitutions(QStringLiteral("华文中宋"), serif);
    QFont::insertSubstitutions(QStringLiteral("华文行楷"), serif);
    QFont::insertSubstitutions(QStringLiteral("楷体"), serif);
    QFont::insertSubstitutions(QStringLiteral("微软雅黑"), sans);
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
