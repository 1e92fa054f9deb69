#include "ui/touchkeyboard.h"

#include "ui/screenfit.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

const QString CTouchKeyboard::kBackspace = QStringLiteral("⌫");
const QString CTouchKeyboard::kShift = QStringLiteral("⇧");
const QString CTouchKeyboard::kSpace = QStringLiteral("Пробел");
const QString CTouchKeyboard::kEnter = QStringLiteral("Ввод");
const QString CTouchKeyboard::kHide = QStringLiteral("Скрыть");
const QString CTouchKeyboard::kLatin = QStringLiteral("EN");
const QString CTouchKeyboard::kCyrillic = QStringLiteral("РУ");

namespace {
constexpr int kGap = 4;
constexpr int kRows = 5;

QStringList Letters(const char* utf8) {
    QStringList keys;
    for (const QChar c : QString::fromUtf8(utf8))
        keys.append(QString(c));
    return keys;
}

// How many key widths a key takes; a row is twelve.
double Weight(const QString& token) {
    if (token == CTouchKeyboard::kSpace)
        return 3.5;
    if (token == CTouchKeyboard::kHide || token == CTouchKeyboard::kEnter)
        return 2.5;
    if (token == CTouchKeyboard::kLatin || token == CTouchKeyboard::kCyrillic)
        return 1.5;
    return 1.0;
}

bool IsSpecial(const QString& token) {
    return token == CTouchKeyboard::kBackspace || token == CTouchKeyboard::kShift ||
           token == CTouchKeyboard::kSpace || token == CTouchKeyboard::kHide ||
           token == CTouchKeyboard::kEnter || token == CTouchKeyboard::kLatin ||
           token == CTouchKeyboard::kCyrillic;
}

// Opens the keyboard when a text field of a dialog is pressed. Keys typed on a real keyboard
// never open it.
class CTouchKeyboardOpener : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::TouchBegin)
            return false;
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        auto* field = qobject_cast<QLineEdit*>(watched);
        if (!field || !field->isEnabled() || field->isReadOnly() ||
            !qobject_cast<QDialog*>(field->window()))
            return false;
        // Spin boxes, dates and lists have their own arrows and popups.
        if (qobject_cast<QAbstractSpinBox*>(field->parentWidget()) ||
            qobject_cast<QComboBox*>(field->parentWidget()))
            return false;
        QPointer<QLineEdit> guard(field);
        QTimer::singleShot(0, field, [guard] {
            if (guard && guard->isVisible())
                CTouchKeyboard::OpenFor(guard);
        });
        return false;
    }
};
} // namespace

void CTouchKeyboard::Install() {
    static QPointer<CTouchKeyboardOpener> opener;
    if (opener || !qApp)
        return;
    opener = new CTouchKeyboardOpener(qApp);
    qApp->installEventFilter(opener);
}

CTouchKeyboard* CTouchKeyboard::Of(const QWidget* window) {
    if (!window)
        return nullptr;
    return window->findChild<CTouchKeyboard*>(QStringLiteral("touchKeyboard"),
                                              Qt::FindDirectChildrenOnly);
}

CTouchKeyboard* CTouchKeyboard::OpenFor(QLineEdit* field) {
    QWidget* window = field->window();
    CTouchKeyboard* keyboard = Of(window);
    if (!keyboard)
        keyboard = new CTouchKeyboard(window);
    keyboard->Attach(field);
    return keyboard;
}

QList<QStringList> CTouchKeyboard::Rows(bool latin) {
    QStringList digits = Letters("1234567890-");
    digits.append(kBackspace);
    QStringList third = {kShift};
    third += Letters(latin ? "zxcvbnm.,=:" : "ячсмитьбю.,");
    return {digits,
            Letters(latin ? "qwertyuiop[]" : "йцукенгшщзхъ"),
            Letters(latin ? "asdfghjkl;'\\" : "фывапролджэё"),
            third,
            {latin ? kCyrillic : kLatin, QStringLiteral("_"), QStringLiteral("/"), kSpace, kEnter,
             kHide}};
}

CTouchKeyboard::CTouchKeyboard(QWidget* window) : QWidget(window), m_pWindow(window) {
    setObjectName(QStringLiteral("touchKeyboard"));
    setAutoFillBackground(true);
    // The keys never take the focus from the field they type into.
    setFocusPolicy(Qt::NoFocus);
    hide();
    BuildKeys();
    window->installEventFilter(this);
}

void CTouchKeyboard::BuildKeys() {
    // Both layouts have the same rows of keys: a switch only gives them other captions.
    const QList<QStringList> rows = Rows(m_bLatin);
    const bool first = m_rows.isEmpty();
    for (int r = 0; r < rows.size(); ++r) {
        if (first)
            m_rows.append(QList<QAbstractButton*>());
        for (int k = 0; k < rows[r].size(); ++k) {
            const QString& token = rows[r][k];
            if (first) {
                auto* key = new QPushButton(this);
                key->setFocusPolicy(Qt::NoFocus);
                key->setAutoDefault(false);
                connect(key, &QPushButton::clicked, this,
                        [this, key] { Press(key->property("token").toString()); });
                m_rows[r].append(key);
            }
            QAbstractButton* key = m_rows[r][k];
            key->setProperty("token", token);
            key->setText(IsSpecial(token) || !m_bShift ? token : token.toUpper());
            key->setAutoRepeat(token == kBackspace);
            key->setCheckable(token == kShift);
            key->setChecked(token == kShift && m_bShift);
        }
    }
    Place();
}

QLineEdit* CTouchKeyboard::Target() const {
    return m_pTarget;
}

QAbstractButton* CTouchKeyboard::KeyFor(const QString& caption) const {
    for (const QList<QAbstractButton*>& row : m_rows)
        for (QAbstractButton* key : row)
            if (key->text() == caption)
                return key;
    return nullptr;
}

int CTouchKeyboard::RowHeight() const {
    return qRound(TouchRowHeight(ProgramControlsScale()) * 1.25);
}

int CTouchKeyboard::KeyboardHeight() const {
    return kRows * RowHeight() + (kRows + 1) * kGap;
}

void CTouchKeyboard::Place() {
    if (!m_pWindow)
        return;
    const int h = KeyboardHeight();
    setGeometry(0, m_pWindow->height() - h, m_pWindow->width(), h);
    const int rowHeight = RowHeight();
    QFont font = QApplication::font();
    font.setPixelSize(std::max(10, rowHeight * 2 / 5));
    for (int r = 0; r < m_rows.size(); ++r) {
        const QList<QAbstractButton*>& row = m_rows[r];
        double total = 0;
        for (QAbstractButton* key : row)
            total += Weight(key->property("token").toString());
        const double unit = (width() - kGap * (row.size() + 1)) / total;
        double x = kGap;
        for (QAbstractButton* key : row) {
            const double w = unit * Weight(key->property("token").toString());
            const int left = qRound(x);
            key->setGeometry(left, kGap + r * (rowHeight + kGap), qRound(x + w) - left, rowHeight);
            key->setFont(font);
            x += w + kGap;
        }
    }
}

void CTouchKeyboard::Attach(QLineEdit* field) {
    m_pTarget = field;
    if (!isVisible()) {
        MakeRoom();
        Place();
        show();
    }
    raise();
    if (!field->hasFocus())
        field->setFocus(Qt::MouseFocusReason);
}

void CTouchKeyboard::Close() {
    if (!isVisible() && !m_bRoomMade)
        return;
    hide();
    m_pTarget = nullptr;
    GiveRoomBack();
}

void CTouchKeyboard::MakeRoom() {
    QWidget* w = m_pWindow;
    m_nHeight = KeyboardHeight();
    m_rcSaved = w->geometry();
    m_szMin = w->minimumSize();
    m_szMax = w->maximumSize();
    const bool fixed = m_szMin == m_szMax;
    if (QLayout* layout = w->layout()) {
        m_layoutMargins = layout->contentsMargins();
        QMargins grown = m_layoutMargins;
        grown.setBottom(grown.bottom() + m_nHeight);
        layout->setContentsMargins(grown);
    }
    m_bRoomMade = true;
    const QSize grown(w->width(), w->height() + m_nHeight);
    if (fixed)
        w->setFixedSize(grown);
    else
        w->resize(grown);

    // The dialog with its frame stays on the screen: up first, then, where it may, lower.
    const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const int frameTop = w->geometry().top() - w->frameGeometry().top();
    const int frameBottom = w->frameGeometry().bottom() - w->geometry().bottom();
    const int room = available.height() - frameTop - frameBottom;
    if (!fixed && w->height() > room)
        w->resize(w->width(), std::max(w->minimumHeight(), room));
    const int top = std::clamp(
        w->geometry().top(), available.top() + frameTop,
        std::max(available.top() + frameTop, available.bottom() + 1 - frameBottom - w->height()));
    if (top != w->geometry().top())
        w->move(w->pos().x(), w->pos().y() + top - w->geometry().top());
}

void CTouchKeyboard::GiveRoomBack() {
    if (!m_bRoomMade)
        return;
    m_bRoomMade = false;
    QWidget* w = m_pWindow;
    if (QLayout* layout = w->layout())
        layout->setContentsMargins(m_layoutMargins);
    w->setMinimumSize(m_szMin);
    w->setMaximumSize(m_szMax);
    w->resize(m_rcSaved.size());
    w->move(w->pos() + (m_rcSaved.topLeft() - w->geometry().topLeft()));
}

bool CTouchKeyboard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pWindow) {
        if (event->type() == QEvent::Resize && m_bRoomMade)
            Place();
        else if (event->type() == QEvent::Hide)
            Close();
    }
    return QWidget::eventFilter(watched, event);
}

void CTouchKeyboard::SendKey(int key, const QString& text) {
    QLineEdit* target = m_pTarget;
    if (!target)
        return;
    if (!target->hasFocus())
        target->setFocus(Qt::OtherFocusReason);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    if (m_pTarget)
        QCoreApplication::sendEvent(m_pTarget, &release);
}

void CTouchKeyboard::Press(const QString& token) {
    if (token == kHide) {
        Close();
        return;
    }
    if (token == kShift) {
        m_bShift = !m_bShift;
        BuildKeys();
        return;
    }
    if (token == kLatin || token == kCyrillic) {
        m_bLatin = token == kLatin;
        m_bShift = false;
        BuildKeys();
        return;
    }
    if (token == kBackspace) {
        SendKey(Qt::Key_Backspace, QString());
        return;
    }
    if (token == kSpace) {
        SendKey(Qt::Key_Space, QStringLiteral(" "));
        return;
    }
    if (token == kEnter) {
        SendKey(Qt::Key_Return, QStringLiteral("\r"));
        return;
    }
    const QString text = m_bShift ? token.toUpper() : token;
    const QChar c = text.at(0);
    // Latin letters and digits carry their own key codes, as a keyboard sends them.
    const int key =
        c.unicode() < 0x80 && c.isLetterOrNumber() ? c.toUpper().unicode() : int(Qt::Key_unknown);
    SendKey(key, text);
    if (m_bShift) {
        m_bShift = false;
        BuildKeys();
    }
}
