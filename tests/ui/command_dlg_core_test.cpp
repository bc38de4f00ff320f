#include "ui/command_dlg.h"

#include <gtest/gtest.h>

#include <string>

#include "bridge/quillon_doc.h"
#include "support/config_dir_override.h"
#include "support/temp_folder.h"

namespace {

// Without a window backend (the core build, the headless bridge) the console's
// window never exists: the document may still run it and feed it bytes.
TEST(CommandConsoleWithoutWindows, NeverShowsBytesAndDoesNotStayOpen) {
  TempFolder folder("console-core");
  ASSERT_FALSE(folder.path.empty());
  ScopedConfigDir configDir(folder / "ConfigFile");
  {
    CQuillonDoc doc;
    CCommandConsole& console = doc.GetCommandConsole();
    CCommandDlg dialog(console);
    doc.SetCommandOpen(true);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(doc.IsCommandOpen()) << "a console that never came up is not open";

    // Bytes that reach the console without its window are neither shown nor counted.
    doc.SetCommandOpen(true);
    for (unsigned b : {0x24u, 0x41u, 0x0Du}) doc.OnSerialByte(b);
    doc.OnSerialBlockEnd();
    EXPECT_EQ(console.GetShownBytes(), 0u);
    EXPECT_EQ(doc.GetBytesReceived(), 3);

    // The history works all the same, in the configuration folder.
    EXPECT_EQ(console.RememberCommand("AT+GMR"), 1);
    CCommandSlots history;
    EXPECT_EQ(console.LoadCommands(history), 0);
    EXPECT_EQ(history[0], "AT+GMR");
  }
}

}  // namespace
