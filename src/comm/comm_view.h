// What the main window shows about the port and the transfers: the port box, the connect button,
// the communication labels and lamp. Plain data; the window mirrors it into its controls.
#pragma once

#include <string>
#include <vector>

namespace ferrolad {

enum class TCommColor { White, Yellow, Green, Red };

struct TCommView {
  // Port box and its caption.
  std::vector<std::string> cbxComPortItems;
  int cbxComPortItemIndex = -1;
  std::string cbxComPortText = "COM port...";  // shown when the box is empty
  bool cbxComPortVisible = true;
  bool lblComPortVisible = true;
  std::string btnConnectComPortCaption = "Connect";

  // Connection and transfer state.
  std::string lblPortConnected;
  bool lblPortConnectedVisible = false;
  bool lblVersionVisible = false;
  std::string lblCommunicationState = "Not connected";
  TCommColor shpState = TCommColor::White;
  std::string lblCommandsTransfered;
  std::string lblCommunicationResult;
  TCommColor lblCommunicationResultColor = TCommColor::White;

  // Controls the connection enables and disables.
  bool cbxDeviceModelEnabled = true;
  bool btnDebugEnabled = true;
  bool btnReadFromControllerILEnabled = true;
  bool btnSendToControllerILEnabled = true;
  bool ILToolBarEnabled = true;

  // Modbus address of the controller (EditID with its up-down UpDownID, 1..255).
  int UpDownID = 1;
  std::string EditID = "1";
};

}  // namespace ferrolad
