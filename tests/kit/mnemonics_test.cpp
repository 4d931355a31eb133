// Labels with a mnemonic mark find the field they name in every layout a
// pane uses (form row, grid row, box), so the mark shows as an underline;
// a label that names no field loses the mark instead of showing "&".
#include "pixmill/mnemonics.h"
#include "support/test_pane_site.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace pixmill;

TEST(Mnemonics, LabelsFindTheirFieldsOrLoseTheMark) {
    test::EnsureApplication();
    QWidget pane;
    auto* top = new QVBoxLayout(&pane);
    // A form row whose field is a layout: QFormLayout sets no buddy itself.
    auto* form = new QFormLayout;
    auto* fileRow = new QHBoxLayout;
    auto* project = new QLineEdit;
    fileRow->addWidget(project);
    fileRow->addWidget(new QPushButton("..."));
    form->addRow("Pro&ject:", fileRow);
    top->addLayout(form);
    auto* grid = new QGridLayout;
    auto* level = new QLabel("&Level");
    auto* levelEdit = new QLineEdit;
    grid->addWidget(level, 0, 0);
    grid->addWidget(new QLabel("%"), 0, 1);
    grid->addWidget(levelEdit, 0, 2);
    top->addLayout(grid);
    auto* row = new QHBoxLayout;
    auto* name = new QLabel("&Name");
    auto* nameEdit = new QLineEdit;
    row->addWidget(name);
    row->addWidget(nameEdit);
    top->addLayout(row);
    auto* alone = new QLabel("Sizes && &units");
    top->addWidget(alone);
    auto* literal = new QLabel("Black && white");
    top->addWidget(literal);

    LinkMnemonicLabels(&pane);
    auto* projectLabel = qobject_cast<QLabel*>(form->itemAt(0, QFormLayout::LabelRole)->widget());
    ASSERT_NE(projectLabel, nullptr);
    EXPECT_EQ(projectLabel->buddy(), project);
    EXPECT_EQ(level->buddy(), levelEdit);
    EXPECT_EQ(name->buddy(), nameEdit);
    EXPECT_EQ(alone->text(), "Sizes & units");
    EXPECT_EQ(alone->buddy(), nullptr);
    EXPECT_EQ(literal->text(), "Black && white") << "no mark: left as it is";
}
