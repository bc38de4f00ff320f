// Backend-neutral: built for the Qt backend and for the Win32 one. The
// backend's support comes first (the Win32 one brings <windows.h> in its order).
#include "window_test_backend.h"

#include <climits>

#include "platform/window/data_exchange.h"

namespace {

TEST(ParseIntText, ReadsWhatTheDialogFunctionsRead) {
  struct Case {
    const char* text;
    bool bSigned;
    int result;
    int value;
  };
  const Case cases[] = {
      {"2000", true, 1, 2000},          {"  -42 ", true, 1, -42},      {"+7", true, 1, 7},
      {"", true, 0, 0},                 {"   ", true, 0, 0},           {"12a", true, 0, 0},
      {"1 2", true, 0, 0},              {"0x10", true, 0, 0},          {"-", true, 0, 0},
      {"-5", false, 0, 0},              {"4294967295", false, 1, -1},  {"2147483647", true, 1, 2147483647},
      {"2147483648", true, 2, 2147483647}, {"-2147483648", true, 1, INT_MIN},
      {"99999999999999999999999", true, 2, 2147483647}, {"-99999999999", true, 2, INT_MIN},
  };
  for (const Case& c : cases) {
    int value = 0;
    EXPECT_EQ(ParseIntText(c.text, c.bSigned, value), c.result) << '"' << c.text << '"';
    if (c.result != 0) {
      EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    }
  }
}

class PortsForm : public CFormView {
 public:
  PortsForm() : CFormView(TestFormTemplate()) {}
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Control(pDX, ID_REPORT, m_list);
    DDX_Text(pDX, ID_EDIT, m_nLocal);
    DDV_MinMaxInt(pDX, m_nLocal, 1024, 65535);
    DDX_Text(pDX, ID_EDIT2, m_nTarget);
    DDV_MinMaxInt(pDX, m_nTarget, 1024, 65535);
    DDX_Text(pDX, ID_PANE, m_strReceived);
  }
  class BoundList : public CListCtrl {
   public:
    void PreSubclassWindow() override {
      ++subclassed;
      InsertColumn(0, "序号");
    }
    int subclassed = 0;
  };
  BoundList m_list;
  int m_nLocal = 2000;
  int m_nTarget = 3000;
  std::string m_strReceived;
};

using DataExchange = WindowTest;

TEST_F(DataExchange, LoadsMembersIntoControlsAndBindsAControlOnce) {
  FramedForm<PortsForm> f;  // OnInitialUpdate ran UpdateData(false)
  EXPECT_EQ(f.view.GetDlgItemText(ID_EDIT), "2000");
  EXPECT_EQ(f.view.GetDlgItemText(ID_EDIT2), "3000");
  EXPECT_EQ(f.view.GetDlgItem(ID_REPORT), &f.view.m_list);
  EXPECT_TRUE(f.view.m_list.IsWindowCreated());
  EXPECT_EQ(f.view.m_list.GetDlgCtrlID(), ID_REPORT);
  EXPECT_EQ(f.view.m_list.GetColumnCount(), 1);
  EXPECT_EQ(f.view.UpdateData(true), 1);
  EXPECT_EQ(f.view.UpdateData(false), 1);
  EXPECT_EQ(f.view.m_list.subclassed, 1);
  EXPECT_EQ(f.view.GetExchangeFailedControl(), 0);
}

TEST_F(DataExchange, ANonNumberStopsTheExchangeAtItsFieldWithTheFrameworkMessage) {
  FramedForm<PortsForm> f;
  MessageBoxRecorder boxes;
  f.view.SetDlgItemText(ID_EDIT, "20x0");
  f.view.SetDlgItemText(ID_EDIT2, "4000");
  f.view.SetDlgItemText(ID_PANE, "收到");
  EXPECT_EQ(f.view.UpdateData(true), 0);
  EXPECT_EQ(boxes.texts, std::vector<std::string>{"请输入一个整数。"});
  EXPECT_EQ(f.view.GetExchangeFailedControl(), ID_EDIT);
  // Nothing after the failing field was exchanged.
  EXPECT_EQ(f.view.m_nLocal, 2000);
  EXPECT_EQ(f.view.m_nTarget, 3000);
  EXPECT_EQ(f.view.m_strReceived, "");
  // The field is ready to be corrected.
  EXPECT_EQ(f.view.GetDlgItem(ID_EDIT)->HasFocus(), 1);
  int start = -1, end = -1;
  f.view.GetDlgItemAs<CEdit>(ID_EDIT)->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 4) << "the whole text selected";

  // Corrected, the next exchange succeeds and clears the failure.
  f.view.SetDlgItemText(ID_EDIT, " 2001 ");
  EXPECT_EQ(f.view.UpdateData(true), 1);
  EXPECT_EQ(f.view.GetExchangeFailedControl(), 0);
  EXPECT_EQ(f.view.m_nLocal, 2001);
  EXPECT_EQ(f.view.m_nTarget, 4000);
  EXPECT_EQ(f.view.m_strReceived, "收到");
  EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST_F(DataExchange, AValueOutOfRangeNamesTheBoundsAndStopsAtThatField) {
  FramedForm<PortsForm> f;
  MessageBoxRecorder boxes;
  for (const char* bad : {"1023", "65536", "0", "99999999999"}) {
    f.view.SetDlgItemText(ID_EDIT, "2000");
    f.view.SetDlgItemText(ID_EDIT2, bad);
    f.view.SetDlgItemText(ID_PANE, bad);
    EXPECT_EQ(f.view.UpdateData(true), 0) << bad;
    EXPECT_EQ(f.view.GetExchangeFailedControl(), ID_EDIT2) << bad;
    EXPECT_NE(f.view.m_strReceived, bad);
  }
  EXPECT_EQ(boxes.texts.size(), 4u);
  for (const std::string& text : boxes.texts) EXPECT_EQ(text, "请输入一个介于 1024 和 65535 之间的整数。");
  // As the framework does, the member holds what was read before the check.
  EXPECT_EQ(f.view.m_nTarget, 2147483647);
  // Both bounds are accepted.
  f.view.SetDlgItemText(ID_EDIT, "1024");
  f.view.SetDlgItemText(ID_EDIT2, "65535");
  EXPECT_EQ(f.view.UpdateData(true), 1);
  EXPECT_EQ(boxes.texts.size(), 4u);
}

}  // namespace
