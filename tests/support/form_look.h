#pragma once

// What the look tables of the forms share: a control found by its objectName,
// the text a user reads on it, its place in the form's client area, its font
// and a few named traits. Header only, for tests that link quilfen_ui.

#include <QAbstractButton>
#include <QAction>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QTest>

namespace quilfen::test {

// The form itself when it carries the name, else its menu item or child
// widget of that name (a menu shares its name with its item in the menu bar:
// the item is what the bar shows).
inline QObject* namedControl(QWidget& form, const QString& name)
{
    if (form.objectName() == name)
        return &form;
    if (auto* item = form.findChild<QAction*>(name))
        return item;
    return form.findChild<QWidget*>(name);
}

// What a user reads on the control: a window's caption, a menu item's,
// label's, button's or box's text.
inline QString shownText(const QObject* control)
{
    if (const auto* item = qobject_cast<const QAction*>(control))
        return item->text();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* box = qobject_cast<const QLineEdit*>(control))
        return box->text();
    if (const auto* window = qobject_cast<const QWidget*>(control); window && window->isWindow())
        return window->windowTitle();
    return {};
}

// The area a form places its controls in: below the menu bar of a main window.
inline QWidget* clientArea(QWidget& form)
{
    auto* main = qobject_cast<QMainWindow*>(&form);
    return main ? main->centralWidget() : &form;
}

// The control's place in the client area; the form's own is the whole area.
inline QRect placeInClient(QWidget& form, const QWidget& control)
{
    QWidget* client = clientArea(form);
    if (&control == &form)
        return client->rect();
    return {control.mapTo(client, QPoint(0, 0)), control.size()};
}

// A font as a look table expects it: the family and size, and the weight
// only where it is given (a default-constructed QFont expects nothing).
inline QFont expectedFont(const QString& family, double points, int weight = -1)
{
    QFont font(family);
    font.setPointSizeF(points);
    if (weight >= 0)
        font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// Checks one named trait of a control or form; an unknown name fails.
inline void verifyTrait(const QObject* control, const QString& trait)
{
    const auto* widget = qobject_cast<const QWidget*>(control);
    const auto* label = qobject_cast<const QLabel*>(control);
    const auto* button = qobject_cast<const QPushButton*>(control);
    if (trait == QLatin1String("fixed size")) {
        QVERIFY(widget);
        QCOMPARE(widget->minimumSize(), widget->maximumSize());
    } else if (trait == QLatin1String("no minimise or maximise button")) {
        QVERIFY(widget);
        const Qt::WindowFlags flags = widget->windowFlags();
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
    } else if (trait == QLatin1String("nothing but the menu bar and the client area")) {
        const auto* main = qobject_cast<const QMainWindow*>(control);
        QVERIFY(main);
        QCOMPARE(main->centralWidget()->geometry().top(), main->menuBar()->geometry().bottom() + 1);
        QCOMPARE(main->size(), QSize(main->centralWidget()->width(),
                                     main->menuBar()->height() + main->centralWidget()->height()));
    } else if (trait == QStringLiteral("32 × 32 icon")) {
        QVERIFY(widget);
        QCOMPARE(widget->windowIcon().availableSizes().value(0), QSize(32, 32));
    } else if (trait == QLatin1String("shows the program icon")) {
        QVERIFY(label);
        const QImage expected =
            QImage(QStringLiteral(":/quilfen/quilfen.png")).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(label->pixmap().size(), QSize(32, 32));
        QCOMPARE(label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32), expected);
    } else if (trait == QLatin1String("some text")) {
        QVERIFY(!shownText(control).trimmed().isEmpty());
    } else if (trait == QLatin1String("one line")) {
        QVERIFY(label);
        QVERIFY(!label->wordWrap());
    } else if (trait == QLatin1String("right-aligned")) {
        QVERIFY(label);
        QVERIFY(label->alignment() & Qt::AlignRight);
    } else if (trait == QLatin1String("centred on two lines")) {
        QVERIFY(label);
        QVERIFY(label->wordWrap());
        QCOMPARE(label->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        const QFontMetrics metrics(label->font());
        const int height = metrics.boundingRect(label->contentsRect(), Qt::TextWordWrap, label->text()).height();
        QVERIFY(height >= 2 * metrics.height() && height < 3 * metrics.height());
        QVERIFY(height <= label->height());  // all of it inside
    } else if (trait == QLatin1String("default button")) {
        QVERIFY(button);
        QVERIFY(button->isDefault());
    } else if (trait == QLatin1String("no default button")) {
        QVERIFY(button);
        QVERIFY(!button->isDefault() && !button->autoDefault());
    } else if (trait == QLatin1String("plain menu item")) {
        const auto* item = qobject_cast<const QAction*>(control);
        QVERIFY(item);
        QVERIFY(!item->isSeparator() && item->shortcut().isEmpty());
        QVERIFY(!item->text().contains(QLatin1Char('&')));  // no access key
        QVERIFY(item->isEnabled() && item->isVisible());
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown trait: ") + trait));
    }
}

// One row of a look table: the control of that name on the form and what is
// fixed about it. A widget lies inside the client area as well.
struct Look {
    QString name{};
    QString text{};        // null: none is fixed
    QRect geometry{};      // in the client area; invalid: none is fixed
    QFont font{};          // asked for; nothing set: none is fixed
    QString drawnWith{};   // the family drawn with; empty: not checked
    QStringList traits{};  // as verifyTrait names them
};

}  // namespace quilfen::test

Q_DECLARE_METATYPE(quilfen::test::Look)

namespace quilfen::test {

// A row tagged with the control's name, the Look in the column "look".
inline QTestData& lookRow(const Look& look)
{
    return QTest::newRow(qPrintable(look.name)) << look;
}

inline void verifyLook(QWidget& form, const Look& look)
{
    const QObject* control = namedControl(form, look.name);
    QVERIFY2(control, qPrintable(look.name));
    if (!look.text.isNull())
        QCOMPARE(shownText(control), look.text);
    const auto* widget = qobject_cast<const QWidget*>(control);
    if (widget && widget != &form)
        QVERIFY(clientArea(form)->rect().contains(placeInClient(form, *widget)));
    if (look.geometry.isValid()) {
        QVERIFY(widget);
        QCOMPARE(placeInClient(form, *widget), look.geometry);
    }
    if (look.font.resolveMask() != 0) {
        QVERIFY(widget);
        QCOMPARE(widget->font().family(), look.font.family());
        QCOMPARE(widget->font().pointSizeF(), look.font.pointSizeF());
        if (look.font.resolveMask() & QFont::WeightResolved)
            QCOMPARE(widget->font().weight(), look.font.weight());
    }
    if (!look.drawnWith.isEmpty()) {
        QVERIFY(widget);
        QCOMPARE(QFontInfo(widget->font()).family(), look.drawnWith);
    }
    for (const QString& trait : look.traits) {
        verifyTrait(control, trait);
        if (QTest::currentTestFailed())
            return;
    }
}

}  // namespace quilfen::test
