// The settings dialogs' forms, built by the window layer alone (no settings engine): every
// control that a table names is there as its kind, the buttons and first states are those of
// the dialog, nothing is cut off or covered once the combos hold their entries, and pictures
// of the three windows at both access levels go to JETVANE_SCREENSHOT_DIR (else this build
// folder).

#include "gui_test_support.h"

#include "settings/settings_definitions.h"
#include "ui/dialog.h"
#include "ui/display.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace gui_test {
namespace {

struct DialogCase {
    const char* name;
    const SettingsDialogDefinition& (*definition)();
    const char* caption;
    std::size_t settingRows, defaultRows, choiceRows, toolTipRows;
    std::vector<std::pair<int, const char*>> buttons;  // left to right
};

const DialogCase kDialogs[] = {
    {"bpp", &BppSettingsDefinition, "QV Airport BPP Printer Config", 41, 35, 20, 35,
     {{1059, "&Reset to Defaults"}, {1005, "&Load From File"}, {1004, "&Save To File"},
      {1001, "&Update All Configs"}, {1000, "Update &Defaults"}, {1002, "&Cancel"}}},
    {"btp", &BtpSettingsDefinition, "QV Airport BTP Printer Config", 51, 45, 34, 45,
     {{1059, "&Reset to Defaults"}, {1005, "&Load From File"}, {1004, "&Save To File"},
      {1001, "&Update All Configs"}, {1000, "Update &Defaults"}, {1002, "&Cancel"}}},
    {"eeprom", &EepromSettingsDefinition, "QV Airport Printer EEPROM Settings", 10, 8, 19, 8,
     {{1059, "&Reset to Defaults"}, {1005, "&Load From File"}, {1004, "&Save To File"},
      {1000, "Up&date EEPROM"}, {1002, "&Cancel"}}},
};

// The engineering rows of the boarding-pass and bag-tag dialogs, with their labels.
const std::vector<int> kEngineeringControls = {1024, 1025, 1026, 1038, 1042, 1008, 1039, 1040, 1041, 1043};

class SettingsForm : public testing::TestWithParam<DialogCase> {
protected:
    const SettingsDialogDefinition& Definition() const { return GetParam().definition(); }

    ui::Dialog& Open()
    {
        dialog_ = std::make_unique<ui::Dialog>(*Definition().dialogTemplate);
        EXPECT_TRUE(dialog_->Create());
        dialog_->ShowWindow(true);
        ProcessPendingEvents();
        return *dialog_;
    }

    // What the dialog shows from the engineering level on.
    void ShowEngineeringRows() const
    {
        for (const SettingDescriptor& row : Definition().tables.settings) {
            if (row.accessLevel < 1)
                continue;
            dialog_->ShowDlgItem(row.controlId, true);
            if (row.labelControlId != 0)
                dialog_->ShowDlgItem(row.labelControlId, true);
        }
        ProcessPendingEvents();
    }

    // The entries that the combos get when the dialog opens, the first one selected, and the
    // defaults in the edits and check boxes.
    void FillAsTheDialogDoes() const
    {
        const SettingsTables& tables = Definition().tables;
        if (Definition().ackTimeoutList) {
            for (int timeout = 0; timeout <= 2000; timeout += 50)
                dialog_->GetComboBox(1010).AddString(QString::number(timeout));
        }
        for (const ComboEntries& opening : tables.openingEntries) {
            for (const std::string_view entry : opening.entries)
                dialog_->GetComboBox(opening.controlId).AddString(QString::fromUtf8(entry.data(), qsizetype(entry.size())));
        }
        for (const SettingChoice& choice : tables.choices)
            dialog_->GetComboBox(choice.controlId).AddString(QString::fromUtf8(choice.display.data(), qsizetype(choice.display.size())));
        for (QComboBox* combo : dialog_->Window()->findChildren<QComboBox*>())
            combo->setCurrentIndex(0);
        for (const SettingDefault& row : tables.defaults) {
            const QString text = row.text != nullptr ? QString::fromUtf8(row.text) : QString::number(row.value);
            QWidget* widget = dialog_->GetDlgItem(row.controlId).Widget();
            if (auto* edit = qobject_cast<QLineEdit*>(widget))
                edit->setText(text);
            else if (auto* check = qobject_cast<QCheckBox*>(widget))
                check->setChecked(row.value != 0);
        }
        ProcessPendingEvents();
    }

    QString PicturePath(const char* level) const
    {
        QString folder = qEnvironmentVariable("JETVANE_SCREENSHOT_DIR");
        if (folder.isEmpty())
            folder = QString::fromUtf8(JETVANE_DEFAULT_SCREENSHOT_DIR);
        return QDir(folder).filePath(QString("settings_%1_%2.png").arg(GetParam().name, level));
    }

    std::unique_ptr<ui::Dialog> dialog_;
};

void ExpectWholeTextsAndNoOverlaps(const QWidget& window)
{
    const auto visibleChildren = [](const QWidget& parent) {
        std::vector<QWidget*> children;
        for (QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible())
                children.push_back(child);
        }
        return children;
    };
    std::vector<const QWidget*> containers = {&window};
    for (QWidget* pane : visibleChildren(window)) {
        if (qobject_cast<QPushButton*>(pane) == nullptr)
            containers.push_back(pane);
    }
    for (const QWidget* container : containers) {
        const std::vector<QWidget*> children = visibleChildren(*container);
        for (std::size_t first = 0; first < children.size(); ++first) {
            for (std::size_t second = first + 1; second < children.size(); ++second) {
                EXPECT_FALSE(children[first]->geometry().intersects(children[second]->geometry()))
                    << children[first]->property("text").toString().toStdString() << " / "
                    << children[second]->property("text").toString().toStdString();
            }
        }
        for (const QWidget* child : children) {
            if (const auto* label = qobject_cast<const QLabel*>(child)) {
                const QRect room = label->contentsRect();
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), room.width()) << label->text().toStdString();
                EXPECT_LE(label->fontMetrics().height(), room.height()) << label->text().toStdString();
            } else if (qobject_cast<const QAbstractButton*>(child) != nullptr || qobject_cast<const QComboBox*>(child) != nullptr) {
                EXPECT_LE(child->sizeHint().width(), child->width()) << child->property("text").toString().toStdString();
                EXPECT_LE(child->sizeHint().height(), child->height()) << child->property("text").toString().toStdString();
            }
        }
    }
}

TEST_P(SettingsForm, TablesHoldEveryRowOnceByKey)
{
    const SettingsTables& tables = Definition().tables;
    EXPECT_EQ(tables.settings.size(), GetParam().settingRows);
    EXPECT_EQ(tables.defaults.size(), GetParam().defaultRows);
    EXPECT_EQ(tables.choices.size(), GetParam().choiceRows);
    EXPECT_EQ(tables.toolTips.size(), GetParam().toolTipRows);
    std::set<std::pair<int, int>> keys;
    std::set<int> controls;
    for (const SettingDescriptor& row : tables.settings) {
        EXPECT_TRUE(keys.insert({row.group, row.parameter}).second) << row.controlId;
        controls.insert(row.controlId);
    }
    for (const SettingDefault& row : tables.defaults)
        EXPECT_TRUE(controls.contains(row.controlId)) << row.controlId;
    for (const SettingChoice& row : tables.choices)
        EXPECT_TRUE(controls.contains(row.controlId)) << row.controlId;
    for (const ToolTipEntry& row : tables.toolTips)
        EXPECT_TRUE(controls.contains(row.controlId)) << row.controlId;
}

TEST_P(SettingsForm, EveryTableControlIsInTheFormAsItsKind)
{
    ui::Dialog& dialog = Open();
    for (const SettingDescriptor& row : Definition().tables.settings) {
        QWidget* widget = dialog.GetDlgItem(row.controlId).Widget();
        ASSERT_NE(widget, nullptr) << row.controlId;
        EXPECT_EQ(widget->focusPolicy(), Qt::StrongFocus) << row.controlId;
        const auto* combo = qobject_cast<QComboBox*>(widget);
        switch (row.kind) {
        case SETTING_KIND_EDIT:
        case SETTING_KIND_NUMBER:
            EXPECT_NE(qobject_cast<QLineEdit*>(widget), nullptr) << row.controlId;
            break;
        case SETTING_KIND_EDIT_COMBO:
        case SETTING_KIND_LIST_COMBO:
            ASSERT_NE(combo, nullptr) << row.controlId;
            EXPECT_EQ(combo->isEditable(), row.kind == SETTING_KIND_EDIT_COMBO) << row.controlId;
            break;
        case SETTING_KIND_CHECK:
            EXPECT_NE(qobject_cast<QCheckBox*>(widget), nullptr) << row.controlId;
            break;
        default:
            ADD_FAILURE() << "kind " << row.kind << " of " << row.controlId;
        }
        if (row.labelControlId != 0) {
            EXPECT_NE(qobject_cast<QLabel*>(dialog.GetDlgItem(row.labelControlId).Widget()), nullptr) << row.labelControlId;
        }
    }
}

TEST_P(SettingsForm, OpensWithItsButtonsInOrderAndItsActionsDisabled)
{
    ui::Dialog& dialog = Open();
    EXPECT_EQ(dialog.GetWindowText(), QString(GetParam().caption));
    std::vector<std::pair<int, QString>> buttons;
    for (const QPushButton* button : dialog.Window()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        buttons.emplace_back(button->x(), button->text());
    std::sort(buttons.begin(), buttons.end());
    ASSERT_EQ(buttons.size(), GetParam().buttons.size());
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        const auto& [id, caption] = GetParam().buttons[index];
        EXPECT_EQ(buttons[index].second, QString(caption));
        EXPECT_EQ(dialog.GetDlgItemText(id), QString(caption));
        EXPECT_EQ(dialog.IsDlgItemEnabled(id), id == 1002) << caption;
        const auto* button = qobject_cast<QPushButton*>(dialog.GetDlgItem(id).Widget());
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->isDefault(), id == 1001) << caption;
    }
    if (Definition().ownDeviceType == 0)
        return;
    for (const int id : kEngineeringControls)
        EXPECT_FALSE(dialog.GetDlgItem(id).IsWindowVisible()) << id;
}

TEST_P(SettingsForm, ShowsEveryTextWholeWithNothingCoveredAtBothLevels)
{
    for (const bool engineering : {false, true}) {
        SCOPED_TRACE(engineering ? "engineering level" : "user level");
        ui::Dialog& dialog = Open();
        if (engineering)
            ShowEngineeringRows();
        const QSize empty = dialog.Window()->size();
        FillAsTheDialogDoes();
        // The least widths hold every entry: the window keeps its size.
        EXPECT_EQ(dialog.Window()->width(), empty.width());
        EXPECT_EQ(dialog.Window()->height(), empty.height());
        EXPECT_LE(dialog.Window()->frameGeometry().width(), 1280);
        EXPECT_LE(dialog.Window()->frameGeometry().height(), 800);
        ExpectWholeTextsAndNoOverlaps(*dialog.Window());
        EXPECT_TRUE(ui::SaveScreenshot(dialog.Window(), PicturePath(engineering ? "level1" : "level0")));
    }
}

INSTANTIATE_TEST_SUITE_P(SettingsDialogs, SettingsForm, testing::ValuesIn(kDialogs),
                         [](const testing::TestParamInfo<DialogCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace gui_test
