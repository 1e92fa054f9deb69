#include "labels/editorlogic.h"

#include "app/settings.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

const std::array<EditorButton, 14>& EditorButtons() {
    static const std::array<EditorButton, 14> buttons{{
        {1015, 0, "Штрих-код", "Штрих-код", "Параметры штрих-кода", "Параметры штрих-кода"},
        {1017, 1, "Название", "Название", "Параметры названия", "Параметры названия"},
        {1019, 2, "Доп. инфо", "Доп. инфо", "Параметры доп. информации",
         "Параметры доп. информации"},
        {1021, 3, "Текст \"Цена\"", "Текст \"Цена\"", "Параметры текста \"Цена\"",
         "Параметры текста \"Цена\""},
        {1023, 4, "Цена", "Цена", "Параметры цены", "Параметры цены"},
        {1026, 5, "Текст \"Вес\"", "Текст \"Кол-во\"", "Параметры текста \"Вес\"",
         "Параметры текста \"Кол-во\""},
        {1030, 6, "Вес", "Кол-во", "Параметры веса", "Параметры кол-ва"},
        {1035, 7, "Текст \"Сумма\"", "Текст \"Сумма\"", "Параметры текста \"Сумма\"",
         "Параметры текста \"Сумма\""},
        {1033, 8, "Сумма", "Сумма", "Параметры суммы", "Параметры суммы"},
        {1037, 9, "Текст \"Дата\"", "Текст \"Дата\"", "Параметры текста \"Дата\"",
         "Параметры текста \"Дата\""},
        {1040, 10, "Дата", "Дата", "Параметры даты", "Параметры даты"},
        {1044, 11, "Текст \"Годен\"", "Текст \"Годен\"", "Параметры текста \"Годен\"",
         "Параметры текста \"Годен\""},
        {1047, 12, "Годен до", "Годен до", "Параметры срока годности", "Параметры срока годности"},
        {1049, 13, "Доп. текст", "Доп. текст", "Параметры доп. текста", "Параметры доп. текста"},
    }};
    return buttons;
}

QString ButtonCaption(const EditorButton& b, bool bWeight) {
    return QString::fromUtf8(bWeight ? b.weightCaption : b.pieceCaption);
}

QString PropertyTitle(const EditorButton& b, bool bWeight) {
    return QString::fromUtf8(bWeight ? b.weightTitle : b.pieceTitle);
}

PropertyFields FieldsFromElement(const CBarCodeLabelInfo& layout, int i, const QString& title) {
    const LabelElement& e = layout.Element(i);
    PropertyFields f;
    f.m_strTitle = title;
    switch (CBarCodeLabelInfo::Shape(i)) {
    case ElementShape::Barcode:
        f.m_nShape = 1;
        break;
    case ElementShape::Text:
        f.m_nShape = 2;
        break;
    case ElementShape::Date:
        f.m_nShape = 3;
        break;
    }
    f.m_bTextEditable = CBarCodeLabelInfo::IsTextBearing(i) ? 1 : 0;
    f.m_strText = e.m_strText;
    f.m_bWordWrap = e.m_bWordWrap;
    f.m_dOffsetX = e.m_dOffsetX;
    f.m_dOffsetY = e.m_dOffsetY;
    f.m_dWidth = e.m_dWidth;
    f.m_dHeight = e.m_dHeight;
    f.m_nAngle = e.m_nAngle;
    f.m_lfFont = e.m_lfFont;
    f.m_nAlign = e.m_nAlign;
    f.m_nDateFormat = e.m_nDateFormat;
    return f;
}

void ApplyFields(CBarCodeLabelInfo& layout, int i, const PropertyFields& f) {
    switch (CBarCodeLabelInfo::Shape(i)) {
    case ElementShape::Barcode:
        layout.SetBarcode(f.m_dOffsetX, f.m_dOffsetY, f.m_dWidth, f.m_dHeight, f.m_nAngle);
        return;
    case ElementShape::Date:
        layout.SetDate(layout.Element(i), f.m_dOffsetX, f.m_dOffsetY, f.m_dWidth, f.m_dHeight,
                       f.m_lfFont, f.m_nAlign, f.m_nDateFormat);
        return;
    case ElementShape::Text:
        if (CBarCodeLabelInfo::IsTextBearing(i))
            layout.SetCaptionText(layout.Element(i), f.m_strText, f.m_dOffsetX, f.m_dOffsetY,
                                  f.m_dWidth, f.m_dHeight, f.m_lfFont, f.m_nAlign, f.m_bWordWrap);
        else
            layout.SetValueText(layout.Element(i), f.m_dOffsetX, f.m_dOffsetY, f.m_dWidth,
                                f.m_dHeight, f.m_lfFont, f.m_nAlign, f.m_bWordWrap);
        return;
    }
}

LabelData SampleLabelData(bool bWeight, const AppSettings& settings, const QDateTime& now) {
    const QString name = QStringLiteral("Название товара Название товара Название товара "
                                        "Название товара");
    QStringList words;
    for (int i = 0; i < 10; ++i)
        words.append(QStringLiteral("Доп. инфо"));
    const QString infoLine = words.join(QLatin1Char(' ')) + QLatin1Char('\r');

    LabelData d;
    d.nBarcode = 123456789012ULL;
    d.strName = name + QLatin1Char('\r') + name;
    d.strInfo = infoLine.repeated(9);
    d.bPrintUnits = settings.PrintEI ? 1 : 0;
    d.bWeight = bWeight;
    d.dPrice = settings.Penny ? 99999.99 : 9999999;
    d.dQuantity = bWeight ? 999.999 : 999999;
    d.dSum = settings.Penny ? 999999.99 : 99999999;
    d.stExpiry = ToSystemTime(now);
    return d;
}

QString EditorCaption(bool bPrinter, int widthMM, int heightMM) {
    QString caption = QStringLiteral("Конфигурация этикетки");
    if (bPrinter)
        caption += QString::asprintf(" (%u x %u)", unsigned(widthMM), unsigned(heightMM));
    return caption;
}

EditorPlacement PlaceEditorControls(int W, int H) {
    EditorPlacement p;
    p.preview = QRect(0, 0, H - 1, H - 1);
    const int x0 = H - 95 + (W - H) / 2;
    // Every key a finger's height (34 pixels, about 9 mm) at the design's size; the close key
    // beside the kind list is the way out where no window manager draws a title bar.
    p.kindList = QRect(x0, 8, 150, 34);
    p.close = QRect(x0 + 156, 8, 34, 34);
    for (int i = 0; i < 14; ++i)
        p.buttons[i] = QRect(x0, 48 + 36 * i, 190, 34);
    p.save = QRect(x0, H - 42, 85, 34);
    p.cancel = QRect(x0 + 105, H - 42, 85, 34);
    return p;
}

QPoint EditorWindowPosition(const QSize& screen) {
    return QPoint(screen.width() / 2 - 400, screen.height() / 2 - 300);
}

QSize PreviewPictureSize(const QSize& area, int pw, int ph) {
    if (pw <= 0 || ph <= 0 || area.isEmpty())
        return QSize();
    const double f = std::min(double(area.width()) / pw, double(area.height()) / ph);
    return QSize(int(pw * f), int(ph * f));
}

bool CPrinterWarning::ShouldTell(bool bRealChange) {
    const bool tell = bRealChange || !m_bTold;
    m_bTold = true;
    return tell;
}
