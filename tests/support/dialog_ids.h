#pragma once
// The bridge dialog's field controls under the names the tests use; each is IdFirstField plus
// its field's place in the table.
#include "config/bridge_fields.h"
#include "ui/ids.h"

inline int FieldId(const char* name) { return IdFirstField + static_cast<int>(&FieldNamed(name) - BridgeFields); }

inline const int IdBridgeName = FieldId("Name"), IdPortCombo = FieldId("COM"), IdBaudCombo = FieldId("Baud"),
                 IdRXDelay = FieldId("RXDelay"), IdTXDelay = FieldId("TXDelay"), IdEmuBR = FieldId("Emulate"),
                 IdServerIP = FieldId("IP"), IdServerPort = FieldId("Port"), IdDisDelay = FieldId("Delay"),
                 IdConnectCombo = FieldId("Connect"), IdBridgeOn = FieldId("Enabled");
