#pragma once
// For tests of the program's windows: the main window and the bridge dialog created for real in
// this process, the tools' driver folder from ToolTest, the program's registry key cleared
// before and after, and the steps a person takes in the dialog.
#include "config/bridge.h"
#include "support/modal_script.h"
#include "support/test_registry.h"
#include "support/tool_fixture.h"
#include "ui/main_window.h"
#include "ui/bridge_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class WindowTest : public ToolTest {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void SetUp() override {
        ToolTest::SetUp();
        testreg::DeleteProgramKey();
    }
    void TearDown() override {
        Close();
        ToolTest::TearDown();
        testreg::DeleteProgramKey();
        ClearBridges();
    }

    // Starts the program's windows as start-up does, with these command-line arguments.
    void Open(std::vector<std::string> args = {}) {
        Close();
        form = std::make_unique<TMainWindow>(std::move(args));
        dialog = std::make_unique<TBridgeDialog>(form->Handle());
        form->SetDialog(dialog.get());
        form->UpdateAvailability();
    }
    // As the user closes the main window: it goes with the dialog it owns, then both objects.
    void Close() {
        if (form && ::IsWindow(form->Handle())) ::SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
        dialog.reset();
        form.reset();
    }

    bool Enabled(int id) const { return ::IsWindowEnabled(form->Control(id)) != FALSE; }
    bool MenuEnabled(int id) const {
        return !(::GetMenuState(::GetMenu(form->Handle()), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    }
    // As a click reaches the handler: a click message reaches even a disabled button under Wine.
    void Click(int id) {
        ASSERT_TRUE(form) << "no window to click: Open() first";
        ::SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(form->Control(id)));
    }
    // Selects row (none for -1) and lets the availability rules run, as a click on the list does.
    void SelectRow(int row) {
        HWND list = form->Control(IdBridgeList);
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        if (row >= 0) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        form->UpdateAvailability();
    }
    void Select(const std::string& caption) {
        const std::vector<std::string> captions = Captions();
        for (int i = 0; i < static_cast<int>(captions.size()); ++i)
            if (captions[static_cast<std::size_t>(i)] == caption) return SelectRow(i);
        ADD_FAILURE() << "no row " << caption;
    }

    // What the list shows, read from the control.
    HWND List() const { return form->Control(IdBridgeList); }
    int RowCount() const { return ListView_GetItemCount(List()); }
    std::string RowText(int row, int column = 0) const {
        char text[256] = "";
        ListView_GetItemText(List(), row, column, text, sizeof text);
        return text;
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (int row = 0; row < RowCount(); ++row) captions.push_back(RowText(row));
        return captions;
    }
    std::string SelectedCaption() const {
        const int row = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
        return row < 0 ? std::string() : RowText(row);
    }
    TLinkState RowState(int row) const {  // its dot
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ListView_GetItem(List(), &item);
        return static_cast<TLinkState>(item.iImage);
    }
    // A bridge put straight into the first free slot and listed; gives the slot.
    int AddRow(const char* com, const char* ip = "", int port = 0, const char* name = "") {
        const int slot = FirstFreeSlot();
        Bridges[slot].COM = com;
        Bridges[slot].IP = ip;
        Bridges[slot].Port = port;
        Bridges[slot].Name = name;
        form->AddRow(slot);
        return slot;
    }
    void DeleteRow(int row) {
        const int slot = form->List().SlotAt(row);
        form->List().DeleteRow(slot);
        ZeroSlot(slot);
    }

    // Steps inside the bridge dialog.
    ModalScript::Step Type(int id, const char* text) {
        return [this, id, text] { ::SetWindowTextA(dialog->Control(id), text); };
    }
    ModalScript::Step Pick(int id, const char* item) {
        return [this, id, item] {
            HWND combo = dialog->Control(id);
            ::SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item));
            ::SendMessageA(dialog->Handle(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        };
    }
    ModalScript::Step Press(int id) {
        return [this, id] {
            ::PostMessageA(dialog->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                           reinterpret_cast<LPARAM>(dialog->Control(id)));
        };
    }
    // Runs a command (Add, Edit) whose dialog the steps fill in and close.
    void WithDialog(int button, std::vector<ModalScript::Step> steps) {
        ModalScript script(std::move(steps));
        Click(button);
        EXPECT_TRUE(script.Finished()) << "the dialog did not take every step";
    }

    std::unique_ptr<TMainWindow> form;
    std::unique_ptr<TBridgeDialog> dialog;
};
