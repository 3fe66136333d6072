#pragma once

#include <QString>
#include <initializer_list>
#include <type_traits>

class QBoxLayout;
class QColor;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLayout;
class QPalette;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// The building blocks the window's form is made of: translated texts, named objects, spacers,
// page grids and nested rows and columns, with the spacing and margins the whole form shares.
namespace FormParts {

// Spacing of every layout of the form.
constexpr int kSpacing = 6;

// The text in the translation context of the window.
QString Text(const char *source);

template <class W, class Parent> W *Make(Parent parent, const QString &objectName)
{
    auto *object = new W(parent);
    object->setObjectName(objectName);
    return object;
}

QSpacerItem *HSpacer();
QSpacerItem *VSpacer();

// A palette that sets only the Base role: the given colour when enabled, light grey disabled.
QPalette BasePalette(const QColor &base);

// The grid layout of a page (or of an output sub-page): spacing 6, margins 11.
QGridLayout *PageGrid(QWidget *page);

// One entry of a row or column: a widget, a nested layout or a spacer.
struct Item
{
    Item(QWidget *w) : widget(w) {}
    Item(QLayout *l) : layout(l) {}
    Item(QSpacerItem *s) : spacer(s) {}
    QWidget *widget = nullptr;
    QLayout *layout = nullptr;
    QSpacerItem *spacer = nullptr;
};

void Fill(QBoxLayout *box, std::initializer_list<Item> items);

// Nested rows and columns: spacing 6, no margins of their own.
QHBoxLayout *Row(std::initializer_list<Item> items);
QVBoxLayout *Column(std::initializer_list<Item> items);

// Clears the combo box and inserts the translated items, so that it shows the first one.
void SetItems(QComboBox *combo, std::initializer_list<const char *> items);

} // namespace FormParts

// Creates the object held by form.member on `parent`, with the member's name as its object name.
#define CREATE_MEMBER(form, member, parent)                                                        \
    ((form).member = FormParts::Make<std::remove_pointer_t<decltype((form).member)>>(              \
         parent, QStringLiteral(#member)))
