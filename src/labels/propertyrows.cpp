#include "labels/propertyrows.h"

#include "labels/labelfont.h"

#include <QFont>
#include <QLocale>

#include <cmath>

namespace {

QString Name(const char* text) {
    return QString::fromUtf8(text);
}

const QStringList& AngleOptions() {
    static const QStringList options{QStringLiteral("0"), QStringLiteral("90"),
                                     QStringLiteral("180"), QStringLiteral("270")};
    return options;
}

const QStringList& AlignOptions() {
    static const QStringList options{Name("Влево"), Name("По центру"), Name("Вправо")};
    return options;
}

const QStringList& DateFormatOptions() {
    static const QStringList options{Name("Дата"), Name("Время"), Name("Дата и время")};
    return options;
}

const QStringList& YesNoOptions() {
    static const QStringList options{QStringLiteral("True"), QStringLiteral("False")};
    return options;
}

// The list entry for a stored index; an index outside the list shows as empty text.
QString Entry(const QStringList& options, int index) {
    return index >= 0 && index < options.size() ? options.at(index) : QString();
}

PropertyRow Millimetres(const char* name, double value) {
    PropertyRow row;
    row.name = Name(name);
    row.kind = PropertyKind::Millimetres;
    row.value = FormatMillimetres(value);
    return row;
}

PropertyRow Choice(const char* name, const QStringList& options, const QString& value) {
    PropertyRow row;
    row.name = Name(name);
    row.kind = PropertyKind::Choice;
    row.options = options;
    row.value = value;
    return row;
}

PropertyRow FontRow(const LOGFONTW& lf) {
    PropertyRow row;
    row.name = Name("5. Шрифт");
    row.kind = PropertyKind::Font;
    row.font = lf;
    row.value = FontRowText(lf);
    return row;
}

void ReadMillimetres(const PropertyRow& row, double& field, QStringList* badRows) {
    double mm = 0;
    if (ParseMillimetres(row.value, mm))
        field = mm;
    else if (badRows)
        badRows->append(row.name);
}

// The index of the row's text in options, compared exactly; the field keeps its value for
// any other text.
void ReadChoice(const PropertyRow& row, const QStringList& options, int32_t& field) {
    const int index = options.indexOf(row.value);
    if (index >= 0)
        field = index;
}

} // namespace

QList<PropertyRow> BuildPropertyRows(const PropertyFields& f) {
    QList<PropertyRow> rows;
    rows.append(Millimetres("1. Смещение X", f.m_dOffsetX));
    rows.append(Millimetres("2. Смещение Y", f.m_dOffsetY));
    if (f.m_nShape == 1) {
        rows.append(Millimetres("3. Высота", f.m_dHeight));
        rows.append(Millimetres("4. Толщина линии", f.m_dWidth));
        // An angle outside the list shows as its number; only listed values can be chosen.
        rows.append(Choice("5. Угол", AngleOptions(), QString::number(f.m_nAngle)));
        return rows;
    }
    rows.append(Millimetres("3. Ширина", f.m_dWidth));
    rows.append(Millimetres("4. Высота", f.m_dHeight));
    rows.append(FontRow(f.m_lfFont));
    rows.append(Choice("6. Выравнивание", AlignOptions(), Entry(AlignOptions(), f.m_nAlign)));
    if (f.m_nShape == 3) {
        rows.append(Choice("7. Формат даты", DateFormatOptions(),
                           Entry(DateFormatOptions(), f.m_nDateFormat)));
        return rows;
    }
    PropertyRow wrap;
    wrap.name = Name("7. Перенос строк");
    wrap.kind = PropertyKind::YesNo;
    wrap.options = YesNoOptions();
    wrap.value = f.m_bWordWrap != 0 ? QStringLiteral("True") : QStringLiteral("False");
    rows.append(wrap);
    if (f.m_bTextEditable) {
        PropertyRow text;
        text.name = Name("8. Текст");
        text.kind = PropertyKind::Text;
        text.value = f.m_strText;
        rows.append(text);
    }
    return rows;
}

void ReadPropertyRows(const QList<PropertyRow>& rows, PropertyFields& f, QStringList* badRows) {
    const auto row = [&](int i) -> const PropertyRow* {
        return i < rows.size() ? &rows.at(i) : nullptr;
    };
    if (const PropertyRow* r = row(0))
        ReadMillimetres(*r, f.m_dOffsetX, badRows);
    if (const PropertyRow* r = row(1))
        ReadMillimetres(*r, f.m_dOffsetY, badRows);
    if (f.m_nShape == 1) {
        if (const PropertyRow* r = row(2))
            ReadMillimetres(*r, f.m_dHeight, badRows);
        if (const PropertyRow* r = row(3))
            ReadMillimetres(*r, f.m_dWidth, badRows);
        if (const PropertyRow* r = row(4); r && AngleOptions().contains(r->value))
            f.m_nAngle = r->value.toInt();
        return;
    }
    if (const PropertyRow* r = row(2))
        ReadMillimetres(*r, f.m_dWidth, badRows);
    if (const PropertyRow* r = row(3))
        ReadMillimetres(*r, f.m_dHeight, badRows);
    if (const PropertyRow* r = row(4))
        f.m_lfFont = r->font;
    if (const PropertyRow* r = row(5))
        ReadChoice(*r, AlignOptions(), f.m_nAlign);
    if (f.m_nShape == 3) {
        if (const PropertyRow* r = row(6))
            ReadChoice(*r, DateFormatOptions(), f.m_nDateFormat);
        return;
    }
    if (const PropertyRow* r = row(6))
        f.m_bWordWrap = r->value == QLatin1String("True") ? -1 : 0;
    if (const PropertyRow* r = row(7); r && f.m_bTextEditable)
        f.m_strText = r->value;
}

QString FormatMillimetres(double mm) {
    return QString::asprintf("%f", mm);
}

bool ParseMillimetres(const QString& text, double& mm) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return false;
    mm = value;
    return true;
}

QString NotANumberText() {
    return QStringLiteral("Введите число.");
}

QFont DialogFontFromLogFont(const LOGFONTW& lf) {
    QFont font = labels::FontFromLogFont(lf, labels::kScreenDpi);
    font.setPointSizeF(font.pixelSize() * 72.0 / labels::kScreenDpi);
    return font;
}

LOGFONTW LogFontFromDialogFont(const QFont& font, const LOGFONTW& previous) {
    LOGFONTW lf = previous;
    const double pixels = font.pointSizeF() > 0 ? font.pointSizeF() * labels::kScreenDpi / 72.0
                                                : double(font.pixelSize());
    lf.lfHeight = -std::max(1, int(std::lround(pixels)));
    lf.lfWidth = 0;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    lf.lfWeight = font.weight();
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    lf.lfFaceName = font.family().left(LOGFONTW::LF_FACESIZE - 1);
    return lf;
}

QString FontRowText(const LOGFONTW& lf) {
    const int points = int(std::lround(std::abs(lf.lfHeight) * 72.0 / labels::kScreenDpi));
    return QStringLiteral("%1(%2)").arg(lf.lfFaceName).arg(points);
}
