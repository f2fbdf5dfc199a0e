#pragma once

#include <QString>
#include <array>

#include "common/fields.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// The controls of the main window and their design geometry, built the way a generated UI
// class builds them: SetupUi creates, names and places every control and action; the window
// connects them to its handlers afterwards.

namespace tf {

class VoucherEditor;

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
constexpr double kTipHeight = 255;
// The buttons above the tab control, re-placed from the picture's right edge.
constexpr double kButtonTop = 60;
constexpr double kButtonHeight = 375;
constexpr double kExitWidth = 975;
constexpr double kHelpWidth = 735;
constexpr double kContactWidth = 1215;
}  // namespace design

// The main window's commands; each is shown by a button and some have a shortcut.
struct MainWindowActions {
    QAction* print = nullptr;
    QAction* preview = nullptr;
    QAction* history = nullptr;
    QAction* loadFormat = nullptr;
    QAction* saveFormat = nullptr;
    QAction* deleteFormat = nullptr;
    QAction* calibratePrinter = nullptr;
    QAction* calibrateAmount = nullptr;
    QAction* databaseSettings = nullptr;
    QAction* contact = nullptr;
    QAction* help = nullptr;
    QAction* exit = nullptr;
};

struct MainWindowUi {
    VoucherEditor* editor = nullptr;
    QTabWidget* tabs = nullptr;
    MainWindowActions actions;
    // The buttons above the tab control, re-placed from the picture's right edge.
    QPushButton* contactButton = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* exitButton = nullptr;
    // The settings tab: the voucher's dimensions and currency sign, and its options.
    QLineEdit* currencySign = nullptr;
    QLineEdit* formWidth = nullptr;
    QLineEdit* formHeight = nullptr;
    QLineEdit* stubWidth = nullptr;
    QCheckBox* showGrid = nullptr;
    QCheckBox* printStub = nullptr;
    QCheckBox* centreOnFeeder = nullptr;
    // Whether the fields list history names while the clerk types; kept in the settings file.
    QCheckBox* quickFill = nullptr;
    // Hold the layout's portrait and landscape flags; captioned "横向打印" and "纵向打印".
    QRadioButton* portrait = nullptr;
    QRadioButton* landscape = nullptr;
    QLabel* curFormat = nullptr;
    QLabel* tip = nullptr;
    // The database in use, at the right end of the tip's line.
    QLabel* database = nullptr;

    // Creates every control on form at its design place, with its caption and objectName,
    // places the voucher editor and sets the focus order of the fields and the settings boxes.
    void SetupUi(QWidget* form, VoucherEditor* voucherEditor);

private:
    void SetupActions(QWidget* form);
    void SetupPrintTab(QWidget* page);
    void SetupSettingsTab(QWidget* page);
    void SetupTabOrder();
};

}  // namespace tf
