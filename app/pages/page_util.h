// Small builders for the operation pages, so that every page looks alike:
// a grid layout, start buttons, notes, edits, check boxes and radio buttons
// with their objectName set.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ops/operation.h"

namespace ferro::page {

// The page's grid layout (created on first use).
QGridLayout* Grid(QWidget* page);
QPushButton* StartButton(QWidget* page, const char* name, const char* caption);
// A plain caption label (no objectName needed).
QLabel* Label(QWidget* page, const char* text);
// The page note, in dark red like every caution on these pages.
QLabel* Note(QWidget* page, const char* text);
QLineEdit* Edit(QWidget* page, const char* name, const char* text = "");
QCheckBox* Check(QWidget* page, const char* name, const char* caption, bool checked);
QRadioButton* Radio(QWidget* page, const char* name, const char* caption, bool checked);
// A list of a choice field's captions, in its order, at its default.
QComboBox* ChoiceList(QWidget* page, const char* name, const ops::Operation& op, const char* field);
// The rename and extension pages' row: "大小写:" cmbCase, chkKeepCase and
// "重名时:" cmbClash, bound to NameCaseFields.
QHBoxLayout* NameCaseRow(QWidget* page, const ops::Operation& op);
// "备份目标文件(.bak),覆盖同名文件", ticked.
QCheckBox* BackupBox(QWidget* page, const char* name);
// "每 [2] <middle> [1] 行记录": the period and the position of an interval.
QHBoxLayout* IntervalRow(QWidget* page, const char* periodName, const char* middle,
                         const char* positionName);
inline constexpr const char* kTestFirstNote =
    "注意：批量处理前，请最好先测试几个文件，确保格式的准确无误。";
inline constexpr const char* kTestSettingsNote =
    "注意：批量处理前，请最好先测试几个文件，确保设置的准确无误。";

}  // namespace ferro::page
