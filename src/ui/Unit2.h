#pragma once
// The bridge dialog: the one modal window in which a single bridge is entered or changed. It
// reads and writes only the record bound to it (the scratch slot). It is created once and
// hidden between uses, so its controls keep the values they last showed.
#include "config/bridge.h"
#include "platform/handles.h"
#include "ui/window.h"

#include <stdexcept>
#include <string>

// What the dialog's controls hold, as OK reads them.
struct TBridgeFields {
    enum TField {
        FieldCOM, FieldBaud, FieldName, FieldConnect, FieldIP, FieldPort, FieldDelay, FieldTXDelay, FieldRXDelay
    };

    std::string COM;  // the selected COM port, empty when none is selected
    std::string Baud;  // the selected baud rate, empty when none is selected
    bool Emulate = false;
    std::string Name;
    int Connect = -1;  // the selected position, -1 when none is selected
    std::string IP;
    std::string Port;
    std::string Delay;
    std::string TXDelay;
    std::string RXDelay;
};

// Text typed into the dialog that cannot be stored; the message is what the user sees, the
// field is where the dialog puts the focus.
class EInvalidInput : public std::runtime_error {
public:
    EInvalidInput(const std::string& message, TBridgeFields::TField field) : std::runtime_error(message), Field(field) {}
    TBridgeFields::TField Field;
};

// Writes the fields into the record in the dialog's order (COM, Baud, Emulate, Name, Connect,
// IP, Port, Delay, TXDelay, RXDelay) and raises EInvalidInput at the first one that cannot be
// stored: a number that does not parse, no COM port, a server address that cannot stand in the
// hub's command line, a server port outside 1 to 65535, a negative RX delay. Fields written
// before it stay written.
void StoreBridgeFields(const TBridgeFields& fields, TBridge& record);

class TForm2 : public TWindow {
public:
    // Control identifiers; controls are created, and tabbed through, in this order.
    enum : int {
        IdBridgeName = 300,
        IdButton1 = IDOK,
        IdButton2 = IDCANCEL,
        IdPortCombo = 310,
        IdBaudCombo,
        IdRXDelay,
        IdTXDelay,
        IdEmuBR,
        IdServerIP = 320,
        IdServerPort,
        IdDisDelay,
        IdConnectCombo,
        IdSerialBox = 330,
        IdNetworkBox,
    };

    // Creates the hidden dialog, owned by the main window.
    explicit TForm2(HWND owner);
    ~TForm2() override;

    // Makes record the one the dialog reads from and writes to. Its flag asks for a new bridge
    // (false) or the edit of the bridge it holds (true).
    void Bind(TBridge& record) { record_ = &record; }

    // Shows the dialog until it closes; the result is the record's flag: true when OK wrote
    // the fields, false when the dialog was cancelled.
    bool ShowModal();

    // Handlers.
    void FormCreate();
    void FormShow();
    void ConnectComboChange();
    void Button1Click();
    void Button2Click();
    void FormCloseQuery();

    HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    TBridgeFields ReadFields() const;
    // Puts the focus on the control of a field, its text selected.
    void FocusField(TBridgeFields::TField field);
    void Close();

    TBridge* record_ = &Bridges[ScratchSlot];
    bool closedByButton_ = false;
    bool closed_ = true;  // ends the modal loop
    platform::Font boldFont_;
    platform::Font legendFont_;
};
