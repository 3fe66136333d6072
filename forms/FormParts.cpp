#include "forms/FormParts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPalette>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace FormParts {

namespace {

constexpr int kPageMargin = 11;

template <class Box> Box *Nested(std::initializer_list<Item> items)
{
    auto *box = new Box;
    box->setSpacing(kSpacing);
    box->setContentsMargins(0, 0, 0, 0);
    Fill(box, items);
    return box;
}

} // namespace

QString Text(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

QSpacerItem *HSpacer()
{
    return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

QSpacerItem *VSpacer()
{
    return new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

QPalette BasePalette(const QColor &base)
{
    QPalette palette;
    palette.setBrush(QPalette::Active, QPalette::Base, base);
    palette.setBrush(QPalette::Inactive, QPalette::Base, base);
    palette.setBrush(QPalette::Disabled, QPalette::Base, QColor(240, 240, 240));
    return palette;
}

QGridLayout *PageGrid(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    grid->setSpacing(kSpacing);
    grid->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    return grid;
}

void Fill(QBoxLayout *box, std::initializer_list<Item> items)
{
    for (const Item &item : items) {
        if (item.widget)
            box->addWidget(item.widget);
        else if (item.layout)
            box->addLayout(item.layout);
        else
            box->addItem(item.spacer);
    }
}

QHBoxLayout *Row(std::initializer_list<Item> items)
{
    return Nested<QHBoxLayout>(items);
}

QVBoxLayout *Column(std::initializer_list<Item> items)
{
    return Nested<QVBoxLayout>(items);
}

void SetItems(QComboBox *combo, std::initializer_list<const char *> items)
{
    QStringList texts;
    for (const char *item : items)
        texts << Text(item);
    combo->clear();
    combo->insertItems(0, texts);
}

} // namespace FormParts
