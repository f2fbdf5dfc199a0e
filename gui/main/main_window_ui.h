#pragma once

#include <QString>
#include <array>

#include "common/fields.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// The controls of the main window and their design geometry, built the way a generated UI
// class builds them: SetupUi creates, names and places every control; the window connects
// them to its handlers afterwards.

namespace tf {

class PicBox;

// Design geometry of the window, twips.
namespace design {
constexpr double kPicLeft = 60;
constexpr double kPicTop = 1440;
constexpr double kTabLeft = 60;
constexpr double kTabTop = 120;
constexpr double kTabWidth = 10575;
constexpr double kTabHeight = 1335;
// Controls on a tab page are designed from the tab control's top edge; the page starts
// below the tab strip.
constexpr double kTabStrip = 420;
constexpr double kTitleWidth = 4695;
constexpr double kTitleHeight = 375;
constexpr double kTipHeight = 255;
// The buttons above the tab control, re-placed from the picture's right edge.
constexpr double kButtonTop = 60;
constexpr double kButtonHeight = 375;
constexpr double kExitWidth = 975;      // Cm(6)
constexpr double kHelpWidth = 735;      // Cm(7)
constexpr double kContactWidth = 1215;  // Cm(9)
}  // namespace design

// Properties that tell the event filter which control an event belongs to: the kind ("T"
// for a voucher field, "TT" for a settings box) and the index the control carries.
inline constexpr char kKindProperty[] = "tfKind";
inline constexpr char kIndexProperty[] = "tfIndex";

struct MainWindowUi {
    FieldTable<QLineEdit*> T{};
    FieldTable<QLabel*> L{};
    QLabel* title = nullptr;  // L(0)
    QFrame* lin = nullptr;    // the stub line Lin(1)
    PicBox* pic = nullptr;
    QTabWidget* sst = nullptr;
    std::array<QPushButton*, 11> cm{};  // there is no Cm(8)
    QPushButton* preview = nullptr;
    std::array<QLineEdit*, 4> tt{};
    std::array<QLabel*, 4> label2{};
    std::array<QCheckBox*, 3> chk{};
    std::array<QRadioButton*, 2> op{};
    QLabel* label1 = nullptr;
    QLabel* label3 = nullptr;
    QLabel* curFormat = nullptr;
    QLabel* lbl = nullptr;

    // Creates every control on form at its design place, with its caption and objectName,
    // and sets the focus order of the fields and the settings boxes.
    void SetupUi(QWidget* form);

private:
    void SetupPicture(QWidget* form);
    void SetupPrintTab(QWidget* page);
    void SetupSettingsTab(QWidget* page);
    void SetupTabOrder();
};

}  // namespace tf
