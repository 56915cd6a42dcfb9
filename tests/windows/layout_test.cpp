// Every window and dialog as a person sees and uses it, at the size it opens with,
// at the smallest size and at a large one: each caption's painted text fits
// its place and reaches into no other control, a click on a box lands in the
// box, no control lies under a toolbar, every frame shows its four borders,
// and every input is named by its caption for a screen reader. Run at two
// scale factors (see windows.cmake).
#include "loans_testutil.h"

#include "chrome/chrome.h"
#include "chrome/helpviewer.h"
#include "platform/windowfont.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"
#include "widgets/toolbarbar.h"
#include "widgets/twips.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QBackingStore>
#include <QStyle>
#include <QStyleOption>
#include <QTabWidget>
#include <QToolButton>

using namespace loanstest;
using ondrel::chrome::HelpViewer;
using ondrel::search::Frmpesquisa;

namespace {

// Half a pixel of rounding between the metrics and the painted glyphs.
constexpr qreal kSlack = 0.5;

QString shown(const QString& caption)
{
    QString text = caption;
    return text.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(u'&').replace(u'\x01', u'&');
}

QString describe(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

QRectF inWindow(const QWidget* w, const QRectF& r)
{
    return r.translated(w->mapTo(w->window(), QPoint(0, 0)));
}

QRectF aligned(const QWidget* w, Qt::Alignment alignment, QSizeF size, const QRectF& room)
{
    QRectF r(QPointF(), size);
    const Qt::Alignment a = QStyle::visualAlignment(w->layoutDirection(), alignment);
    r.moveLeft(a & Qt::AlignRight ? room.right() - size.width()
               : a & Qt::AlignHCenter ? room.left() + (room.width() - size.width()) / 2
                                      : room.left());
    r.moveTop(a & Qt::AlignBottom ? room.bottom() - size.height()
              : a & Qt::AlignTop  ? room.top()
                                  : room.top() + (room.height() - size.height()) / 2);
    return r;
}

// Where a caption's text is painted and the room the widget gives it, in
// the widget's coordinates, the way the style paints it.
struct Caption {
    QRectF text;
    QRectF room;
};

std::optional<Caption> captionOf(QWidget* w)
{
    const QFontMetricsF fm(w->font());
    const auto size = [&](const QString& t) { return QSizeF(fm.horizontalAdvance(shown(t)), fm.ascent() + fm.descent()); };
    QStyle* style = w->style();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty())
            return std::nullopt;
        QRectF room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
        const int indent = label->indent() >= 0 ? label->indent()
                           : label->frameWidth() > 0 ? int(fm.horizontalAdvance(u'x') / 2) : 0;
        const Qt::Alignment a = label->alignment();
        room.adjust(a & Qt::AlignLeft ? indent : 0, a & Qt::AlignTop ? indent : 0, a & Qt::AlignRight ? -indent : 0,
                    a & Qt::AlignBottom ? -indent : 0);
        return Caption{aligned(w, a, size(label->text()), room), room};
    }
    if (auto* tool = qobject_cast<QToolButton*>(w)) {
        if (tool->text().isEmpty() || tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
            return std::nullopt;
        const int fw = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        QRectF room = QRectF(tool->rect()).adjusted(fw, fw, -fw, -fw);
        const QSize icon = tool->icon().actualSize(tool->iconSize());
        Qt::Alignment alignment = Qt::AlignCenter;
        if (tool->toolButtonStyle() == Qt::ToolButtonTextUnderIcon && !tool->icon().isNull()) {
            room.adjust(0, icon.height() + 3, 0, -1);
        } else if (tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon && !tool->icon().isNull()) {
            room.adjust(icon.width() + 4, 0, 0, 0);
            alignment = Qt::AlignLeft | Qt::AlignVCenter;
        }
        return Caption{aligned(w, alignment, size(tool->text()), room), room};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (button->text().isEmpty())
            return std::nullopt;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        Qt::Alignment alignment = Qt::AlignCenter;
        if (qobject_cast<QRadioButton*>(w)) {
            contents = QStyle::SE_RadioButtonContents;
            alignment = Qt::AlignLeft | Qt::AlignVCenter;
        } else if (!qobject_cast<QPushButton*>(w)) {
            contents = QStyle::SE_CheckBoxContents;
            alignment = Qt::AlignLeft | Qt::AlignVCenter;
        }
        const QRectF room = style->subElementRect(contents, &option, w);
        return Caption{aligned(w, alignment, size(button->text()), room), room};
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        if (box->title().isEmpty())
            return std::nullopt;
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.textAlignment = box->alignment();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRectF label = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, w);
        return Caption{QRectF(label.topLeft(), size(box->title())), QRectF(box->rect())};
    }
    return std::nullopt;
}

bool isInput(const QWidget* w)
{
    if (qobject_cast<const QLineEdit*>(w))
        return !qobject_cast<const QComboBox*>(w->parentWidget());
    return qobject_cast<const QComboBox*>(w) || w->inherits("QPlainTextEdit") || w->inherits("QTextEdit");
}

// A control a person sees and aims at: what shows text or a picture or takes
// input (containers and toolbars are not).
bool isControl(const QWidget* w)
{
    if (auto* label = qobject_cast<const QLabel*>(w))
        return !label->text().isEmpty() || !label->pixmap().isNull();
    if (qobject_cast<const QLineEdit*>(w) && qobject_cast<const QComboBox*>(w->parentWidget()))
        return false;
    return isInput(w) || qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractScrollArea*>(w)
           || qobject_cast<const QTabWidget*>(w) || qobject_cast<const QGroupBox*>(w);
}

bool seen(QWidget* w)
{
    return w->isVisible() && !w->visibleRegion().isEmpty();
}

bool related(const QWidget* a, const QWidget* b)
{
    return a == b || a->isAncestorOf(b) || b->isAncestorOf(a);
}

// The part of a control a caption's text must stay out of, in the window.
QRectF footprint(QWidget* w)
{
    if (auto caption = captionOf(w); caption && qobject_cast<QLabel*>(w))
        return inWindow(w, caption->text);  // a label is only its text
    return inWindow(w, QRectF(w->visibleRegion().boundingRect()));
}

// Whether a pixel shows neither of two colours: a border between them.
bool bordering(QRgb pixel, QColor outside, QColor inside)
{
    const auto apart = [pixel](QColor c) {
        return qAbs(qRed(pixel) - c.red()) + qAbs(qGreen(pixel) - c.green()) + qAbs(qBlue(pixel) - c.blue()) > 24;
    };
    return apart(outside) && apart(inside);
}

// A framed control whose edge is not painted: its frame or box border lost
// to rounding at a fractional scale. Looked for, on each side, among the
// outermost device pixels of the window's own painting.
QStringList cutBorders(QWidget* window)
{
    QStringList faults;
    // What the window was painted into, as a person sees it: grab() paints
    // anew, rounding otherwise.
    QPaintDevice* store = window->backingStore() ? window->backingStore()->paintDevice() : nullptr;
    if (!store || store->devType() != QInternal::Image)
        return {QStringLiteral("the window's painting cannot be read")};
    const QImage painted = *static_cast<QImage*>(store);
    const qreal ratio = painted.devicePixelRatio();
    const int depth = qCeil(ratio) + 1;  // how deep into the control an edge may lie
    for (QWidget* w : window->findChildren<QWidget*>()) {
        auto* frame = qobject_cast<QFrame*>(w);
        const bool framed = (frame && frame->frameShape() != QFrame::NoFrame && frame->frameWidth() > 0)
                            || (qobject_cast<QLineEdit*>(w) && static_cast<QLineEdit*>(w)->hasFrame());
        // Lines are no borders; a control partly hidden shows only part of its edges.
        if (!framed || (frame && (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine))
            || !w->isVisible())
            continue;
        const QRect all = w->rect();
        const QRegion edges = QRegion(all).subtracted(all.adjusted(1, 1, -1, -1));
        if (!edges.subtracted(w->visibleRegion()).isEmpty())
            continue;
        const QRectF r(QPointF(w->mapTo(window, QPoint(0, 0))) * ratio, QSizeF(w->size()) * ratio);
        const QColor outside = w->parentWidget()->palette().color(QPalette::Window);
        const auto* area = qobject_cast<QAbstractScrollArea*>(w);
        const QWidget* interior = area ? area->viewport() : w;
        const QColor inside = interior->palette().color(interior->backgroundRole());
        const int left = qFloor(r.left()), right = qCeil(r.right()) - 1, top = qFloor(r.top()), bottom = qCeil(r.bottom()) - 1;
        // The share of a line of pixels that shows a border, corners left out.
        const auto share = [&](QPoint from, QPoint step, int count) {
            int hits = 0;
            for (int i = depth; i < count - depth; ++i)
                hits += bordering(painted.pixel(from + i * step), outside, inside);
            return double(hits) / std::max(1, count - 2 * depth);
        };
        const struct {
            const char* side;
            QPoint start, along, inward;
            int count;
        } sides[] = {{"top", {left, top}, {1, 0}, {0, 1}, right - left + 1},
                     {"bottom", {left, bottom}, {1, 0}, {0, -1}, right - left + 1},
                     {"left", {left, top}, {0, 1}, {1, 0}, bottom - top + 1},
                     {"right", {right, top}, {0, 1}, {-1, 0}, bottom - top + 1}};
        for (const auto& side : sides) {
            bool shown = false;
            for (int d = 0; d < depth && !shown; ++d)
                shown = share(side.start + d * side.inward, side.along, side.count) > 0.8;
            if (!shown)
                faults << QStringLiteral("%1: its %2 border is not painted").arg(describe(w), QLatin1String(side.side));
        }
    }
    return faults;
}

QStringList layoutFaults(QWidget* window)
{
    QStringList faults;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    // Controls on screen, and those of them not wholly hidden behind others.
    QList<QWidget*> shownControls;
    QList<QWidget*> controls;
    for (QWidget* w : widgets) {
        if (!isControl(w) || !w->isVisible() || !QRect(w->mapTo(window, QPoint(0, 0)), w->size()).intersects(window->rect()))
            continue;
        shownControls << w;
        if (seen(w))
            controls << w;
    }
    const auto inToolbar = [](const QWidget* w) {
        for (const QWidget* p = w; p; p = p->parentWidget())
            if (qobject_cast<const ondrel::platform::ToolbarBar*>(p))
                return true;
        return false;
    };

    for (QWidget* w : controls) {
        if (!w->isWindow() && !QRect(QPoint(0, 0), w->parentWidget()->size()).contains(w->geometry()))
            faults << QStringLiteral("%1 is cut off by %2").arg(describe(w), describe(w->parentWidget()));
    }

    for (QWidget* w : controls) {
        const std::optional<Caption> caption = captionOf(w);
        if (!caption)
            continue;
        const QRectF& text = caption->text;
        const QRectF& room = caption->room;
        if (text.left() < room.left() - kSlack || text.right() > room.right() + kSlack
            || text.top() < room.top() - kSlack || text.bottom() > room.bottom() + kSlack)
            faults << QStringLiteral("%1: \"%2\" needs %3 x %4 px, has %5 x %6")
                          .arg(describe(w), shown(w->property("text").toString() + w->property("title").toString()))
                          .arg(text.width(), 0, 'f', 1)
                          .arg(text.height(), 0, 'f', 1)
                          .arg(room.width(), 0, 'f', 1)
                          .arg(room.height(), 0, 'f', 1);
        const QRectF painted = inWindow(w, text).adjusted(kSlack, kSlack, -kSlack, -kSlack);
        for (QWidget* other : controls) {
            if (related(w, other))
                continue;
            if (painted.intersects(footprint(other)))
                faults << QStringLiteral("%1: its text reaches into %2").arg(describe(w), describe(other));
        }
    }

    for (QWidget* box : controls) {
        if (!isInput(box))
            continue;
        const QRect visible = box->visibleRegion().boundingRect();
        int points = 0;
        QStringList takers;
        for (int x = visible.left() + 1; x < visible.right(); x += 3) {
            for (int y : {visible.top() + 2, visible.center().y(), visible.bottom() - 2}) {
                const QPoint at = box->mapTo(window, QPoint(x, y));
                QWidget* hit = window->childAt(at);
                ++points;
                if (qobject_cast<QLabel*>(hit) && !related(box, hit) && !takers.contains(describe(hit)))
                    takers << describe(hit);
            }
        }
        for (const QString& taker : takers)
            faults << QStringLiteral("%1 takes clicks meant for %2").arg(taker, describe(box));
    }

    faults += cutBorders(window);

    for (QWidget* bar : window->findChildren<ondrel::platform::ToolbarBar*>()) {
        if (!bar->isVisible())
            continue;
        const QRect barRect(bar->mapTo(window, QPoint(0, 0)), bar->size());
        for (QWidget* w : shownControls) {
            if (inToolbar(w))
                continue;
            const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
            if (r.intersects(barRect))
                faults << QStringLiteral("%1 lies under %2").arg(describe(w), describe(bar));
        }
    }
    return faults;
}

QList<QStringList> objectsAndLoans(QList<Loan>& loans)
{
    QList<QStringList> objects;
    for (int i = 1; i <= 20; ++i) {
        const QString code = QStringLiteral("X%1").arg(i, 3, 10, QLatin1Char('0'));
        objects << QStringList{code, QStringLiteral("Livro"), QStringLiteral("Título %1").arg(i),
                               QStringLiteral("Paneleiras de Goiabeiras")};
        loans << Loan{code, QStringLiteral("Maria da Conceição"), i % 2 ? QStringLiteral("Sim") : QStringLiteral("Não"),
                      QStringLiteral("01/02/2003"), QString()};
    }
    return objects;
}

// Controls that must stand at their twips (left, top, width, height within
// their parent; on a tab page counted from the tab control's top, its tab
// strip included) when the window has the size it opens with.
QStringList misplaced(QWidget* window, const QString& name)
{
    struct Place {
        const char* control;
        QRect twips;
    };
    QList<Place> places;
    if (name.startsWith(QLatin1String("catalogue Objeto"))) {
        places = {{"Txtcod", {1140, 660, 960, 315}}, {"Cmbobjeto", {1140, 1155, 1770, 315}},
                  {"Txtdesc", {1170, 3255, 7230, 1545}}, {"Picture1", {6315, 405, 2085, 2280}},
                  {"lblCount", {5700, 5040, 2685, 255}}, {"lblAtraso", {2985, 5010, 1650, 270}}};
    } else if (name == QLatin1String("loans")) {
        places = {{"Txtcod", {1470, 840, 972, 288}}, {"Combo1", {4575, 825, 1320, 315}},
                  {"Label6", {2520, 855, 1980, 240}}, {"Txtobs", {1470, 2715, 7065, 795}},
                  {"DBGrid1", {30, 3570, 8595, 2565}}, {"mskprazo", {7305, 840, 1104, 288}},
                  {"Label9", {5985, 855, 1260, 255}}};
    } else if (name.startsWith(QLatin1String("search"))) {
        places = {{"Combo1", {144, 600, 1848, 288}}, {"Text1", {132, 1236, 2904, 300}},
                  {"Command1_1", {3360, 2208, 1044, 336}}};
    }
    QStringList faults;
    for (const Place& place : places) {
        auto* control = window->findChild<QWidget*>(QString::fromUtf8(place.control));
        const QRect expected = ondrel::platform::twipsToPixels(place.twips);
        QWidget* frame = control->parentWidget();
        for (QWidget* p = frame; p; p = p->parentWidget())
            if (qobject_cast<QTabWidget*>(p))
                frame = p;
        const QRect actual(control->mapTo(frame, QPoint(0, 0)), control->size());
        if (qAbs(actual.left() - expected.left()) > 1 || qAbs(actual.top() - expected.top()) > 1
            || qAbs(actual.right() - expected.right()) > 1 || qAbs(actual.bottom() - expected.bottom()) > 1)
            faults << QStringLiteral("%1 stands at %2,%3 %4x%5 px, not at %6,%7 %8x%9")
                          .arg(describe(control))
                          .arg(actual.x()).arg(actual.y()).arg(actual.width()).arg(actual.height())
                          .arg(expected.x()).arg(expected.y()).arg(expected.width()).arg(expected.height());
    }
    return faults;
}

bool waitForSize(QWidget* window, QSize size)
{
    window->resize(size);
    const QSize expected = size.expandedTo(window->minimumSize());
    return QTest::qWaitFor([&] { return window->size() == expected; });
}

}  // namespace

class WindowsLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_folder.reset(); }

    void windows_data();
    void windows();
    void inputsNamedByTheirCaptions_data();
    void inputsNamedByTheirCaptions();
    void buttonsNamedByWhatTheyDo();

private:
    // The window of a row, shown, on the fourteenth of twenty records.
    QWidget* open(const QString& window);
    std::unique_ptr<Folder> m_folder;
};

void WindowsLayoutTest::initTestCase()
{
    QVERIFY2(ondrel::platform::windowFontInstalled(),
             "the window font \"Liberation Sans\" is not installed: run scripts/deps.sh (Debian package "
             "fonts-liberation2); without it the captions do not fit their places");
}

void WindowsLayoutTest::init()
{
    m_folder = std::make_unique<Folder>();
    QList<Loan> loans;
    m_folder->create(objectsAndLoans(loans), loans);
    QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/assets/files/Ulmix.hlp"),
                m_folder->dir.filePath(QStringLiteral("Ulmix.hlp")));
}

QWidget* WindowsLayoutTest::open(const QString& window)
{
    Frmobjetos* objects = testutil::shown<Frmobjetos>();
    objects->Data1->recordset()->setAbsolutePosition(13);
    if (window.startsWith(QLatin1String("catalogue"))) {
        objects->SSTab1->setCurrentIndex(window.endsWith(QLatin1String("Listagem")) ? 1 : 0);
        // The widest texts it shows: the hover caption of "Emprestar", the
        // home page in the status label.
        objects->cmdEmprestar_MouseEnter();
        objects->cmdHome_MouseEnter();
        return objects;
    }
    if (window == QLatin1String("help"))
        return HelpViewer::showFile(m_folder->dir.filePath(QStringLiteral("Ulmix.hlp")), objects);
    Frmemprestimos* loans = openLoans();
    if (!loans)
        return nullptr;
    loans->Data1->recordset()->setAbsolutePosition(13);
    loans->cmdHome_MouseEnter();
    if (window == QLatin1String("loans"))
        return loans;
    Frmpesquisa* search = Frmpesquisa::instance();
    if (window == QLatin1String("search from the loans")) {
        search->Combo1->addItems({QStringLiteral("Nome"), QStringLiteral("Objeto"), QStringLiteral("Título"),
                                  QStringLiteral("Autor(a)")});
        search->Optemprestimo->setChecked(true);
        search->Frame2->raise();
        search->Option1->setChecked(true);
    } else {
        search->Combo1->addItems({QStringLiteral("Objeto"), QStringLiteral("Título"), QStringLiteral("Autor(a)"),
                                  QStringLiteral("Assunto"), QStringLiteral("Descrição")});
        search->Optobjeto->setChecked(true);
    }
    search->show();
    return search;
}

void WindowsLayoutTest::windows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("size");  // empty: the size it opens with
    for (const char* window : {"catalogue Objeto", "catalogue Listagem", "loans", "search from the catalogue",
                               "search from the loans", "help"}) {
        QTest::addRow("%s, opening size", window) << QString::fromLatin1(window) << QSize();
        // As small as it goes: 450 x 350 for the record windows.
        QTest::addRow("%s, smallest", window) << QString::fromLatin1(window) << QSize(1, 1);
        QTest::addRow("%s, 1100 x 800", window) << QString::fromLatin1(window) << QSize(1100, 800);
    }
}

void WindowsLayoutTest::windows()
{
    QFETCH(QString, window);
    QFETCH(QSize, size);
    QWidget* w = open(window);
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    if (size.isValid())
        QVERIFY(waitForSize(w, size));
    QCoreApplication::processEvents();
    QStringList faults = layoutFaults(w);
    if (!size.isValid())
        faults += misplaced(w, window);
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1 x %2 px:\n  ").arg(w->width()).arg(w->height())
                                          + faults.join(QStringLiteral("\n  "))));
}

void WindowsLayoutTest::inputsNamedByTheirCaptions_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("name");
    const QList<std::pair<const char*, const char*>> catalogue = {
        {"Txtcod", "Código:"},   {"mskdata", "Data:"},        {"Cmbobjeto", "Objeto:"},
        {"Text1", "Valor:"},     {"MaskEdBox1", "Valor:"},    {"txttítulo", "Título:"},
        {"Txtautor", "Autor(a):"}, {"Txtassunto", "Assunto:"}, {"Txtdesc", "Descrição:"}};
    const QList<std::pair<const char*, const char*>> loans = {
        {"Txtcod", "Código do Objeto"}, {"Combo1", "Devolvido ?"}, {"Txtnome", "Emprestado a"},
        {"Txtobjeto", "Objeto"},        {"mskdata", "Data"},       {"Txttítulo", "Título"},
        {"Txtautor", "Autor(a)"},       {"Txtobs", "Observações"}, {"mskprazo", "Devolver até"}};
    const QList<std::pair<const char*, const char*>> search = {{"Combo1", "Escolha um Campo:"},
                                                               {"Text1", "Digite a Chave:"}};
    for (const auto& [box, name] : catalogue)
        QTest::addRow("catalogue %s", box) << "catalogue Objeto" << QString::fromUtf8(box) << QString::fromUtf8(name);
    for (const auto& [box, name] : loans)
        QTest::addRow("loans %s", box) << "loans" << QString::fromUtf8(box) << QString::fromUtf8(name);
    for (const auto& [box, name] : search)
        QTest::addRow("search %s", box) << "search from the loans" << QString::fromUtf8(box) << QString::fromUtf8(name);
}

void WindowsLayoutTest::inputsNamedByTheirCaptions()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, name);
    QWidget* w = open(window);
    QVERIFY(w);
    auto* input = w->findChild<QWidget*>(box);
    QVERIFY(input);
    // A combo box showing a value is still named by its caption.
    if (auto* combo = qobject_cast<QComboBox*>(input))
        combo->setCurrentIndex(1);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(input);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
}

void WindowsLayoutTest::buttonsNamedByWhatTheyDo()
{
    QWidget* objects = open(QStringLiteral("catalogue Objeto"));
    QWidget* loans = open(QStringLiteral("loans"));
    QVERIFY(objects && loans);
    for (QWidget* window : {objects, loans}) {
        const auto pictures = window->findChildren<ondrel::platform::PictureButton*>();
        QVERIFY(pictures.size() >= 6);
        for (auto* button : pictures) {
            QVERIFY2(!button->hoverText().isEmpty(), qPrintable(describe(button)));
            QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), button->hoverText());
        }
        auto* home = window->findChild<QWidget*>(QStringLiteral("cmdHome"));
        QAccessibleInterface* link = QAccessible::queryAccessibleInterface(home);
        QCOMPARE(link->text(QAccessible::Name), QStringLiteral("Abrir a página da Ondrel na internet"));
        QCOMPARE(link->text(QAccessible::Description), ondrel::chrome::homePage());
    }
}

QTEST_MAIN(WindowsLayoutTest)
#include "layout_test.moc"
