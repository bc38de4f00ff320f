#include "ui/parameter_list_ctrl.h"

#include <QTableWidget>
#include <string>
#include <vector>

#include "platform/window/data_exchange.h"
#include "platform/window/frame.h"
#include "platform/window/window_test_support.h"

namespace {

constexpr int ID_STATS = 1004;

const CDialogTemplate& StatsFormTemplate() {
  static const CDialogTemplate form =
      TestTemplate(101, 506, 300, WS_CHILD, {TestControl(ID_STATS, CtlKind::ListView, "", 305, 16, 186, 121, WS_BORDER)});
  return form;
}

// A form that binds the list control to its list view, as the main form does.
class StatsForm : public CFormView {
 public:
  StatsForm() : CFormView(StatsFormTemplate()) {}
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, ID_STATS, m_list); }
  CParameterListCtrl m_list;
};

// A form whose list control has settings before it is attached.
class SetUpStatsForm : public StatsForm {
 public:
  SetUpStatsForm() {
    m_list.m_settings.SetInt("Col1Width", 200);
    m_list.m_settings.SetString("Col0Name", "编号");
    m_list.m_settings.SetString("Col2Width", "90");  // not an int: the default stays
  }
};

struct Row {
  std::string label, name, value;
  bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const CListCtrl& list) {
  std::vector<Row> rows;
  for (int i = 0; i < list.GetItemCount(); ++i) {
    rows.push_back({list.GetItemText(i, 0), list.GetItemText(i, 1), list.GetItemText(i, 2)});
  }
  return rows;
}

void PrintTo(const Row& row, std::ostream* os) { *os << '(' << row.label << ", " << row.name << ", " << row.value << ')'; }

// A: x; B { C: 5, D: y }; E: z.
CParameters WorkedExample() {
  CParameters nested;
  nested.SetInt("C", 5);
  nested.SetString("D", "y");
  CParameters params;
  params.SetString("A", "x");
  params.SetParameters("B", nested);
  params.SetString("E", "z");
  return params;
}

using ParameterListCtrl = WindowTest;

TEST_F(ParameterListCtrl, ShowsTheWorkedExampleAsNumberedIndentedRows) {
  FramedForm<StatsForm> f;
  CParameterListCtrl& list = f.view.m_list;
  ASSERT_TRUE(list.IsWindowCreated());

  EXPECT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.GetColumnHeading(0), "序号");
  EXPECT_EQ(list.GetColumnHeading(1), "参数名");
  EXPECT_EQ(list.GetColumnHeading(2), "参数值");
  EXPECT_EQ(list.GetColumnWidth(0), 40);
  EXPECT_EQ(list.GetColumnWidth(1), 160);
  EXPECT_EQ(list.GetColumnWidth(2), 500);
  EXPECT_EQ(list.GetColumnFormat(0), LVCFMT_CENTER);
  EXPECT_EQ(list.GetColumnFormat(2), LVCFMT_LEFT);
  EXPECT_EQ(list.GetStyle() & (LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
            LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  EXPECT_EQ(list.GetExtendedStyle() & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
            LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);

  list.SetDisplayParameters(WorkedExample());
  EXPECT_EQ(list.GetItemCount(), 0) << "rows change only at the rebuild";
  EXPECT_EQ(list.RefreshRows(false), 1);
  EXPECT_EQ(Rows(list), (std::vector<Row>{{"1", "A", "x"},
                                          {"2", "B", ""},
                                          {"3", "    C", "5"},
                                          {"4", "    D", "y"},
                                          {"5", "E", "z"}}));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.GetItemData(i), static_cast<std::uintptr_t>(i));

  // The kept copy is the tree flattened into dotted names.
  const CParameters& kept = list.GetKeptParameters();
  ASSERT_EQ(kept.GetSize(), 4);
  EXPECT_EQ(kept.ElementAt(1).GetName(), "B.C");
  EXPECT_EQ(kept.ElementAt(3).GetName(), "E");

  list.m_settings.SetInt("ViewType", 1);
  list.RefreshRows(false);
  std::vector<std::string> labels;
  for (const Row& row : Rows(list)) labels.push_back(row.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"1(CS)", "2(CP)", "3(i4)", "4(CS)", "5(CS)"}));
}

TEST_F(ParameterListCtrl, ReusesRowsInPlaceWhenTheRowCountChanges) {
  FramedForm<StatsForm> f;
  CParameterListCtrl& list = f.view.m_list;
  auto* table = WidgetAs<QTableWidget>(list);
  ASSERT_NE(table, nullptr);

  CParameters ten;
  for (int i = 0; i < 10; ++i) ten.SetString("项" + std::to_string(i), std::to_string(i));
  list.SetDisplayParameters(ten);
  list.RefreshRows(false);
  ASSERT_EQ(list.GetItemCount(), 10);
  std::vector<QTableWidgetItem*> cells;
  for (int i = 0; i < 6; ++i) cells.push_back(table->item(i, 1));

  CParameters six;
  for (int i = 0; i < 6; ++i) six.SetInt("新" + std::to_string(i), 100 + i);
  list.SetDisplayParameters(six);
  list.RefreshRows(false);
  EXPECT_TRUE(table->updatesEnabled()) << "redrawing is back on after the rebuild";
  ASSERT_EQ(list.GetItemCount(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table->item(i, 1), cells[static_cast<size_t>(i)]) << "row " << i << " was not reused";
    EXPECT_EQ(Rows(list)[static_cast<size_t>(i)],
              (Row{std::to_string(i + 1), "新" + std::to_string(i), std::to_string(100 + i)}));
  }

  // Growing again appends rows; an empty collection removes them all.
  list.SetDisplayParameters(ten);
  list.RefreshRows(false);
  EXPECT_EQ(list.GetItemCount(), 10);
  EXPECT_EQ(list.GetItemText(9, 1), "项9");
  list.SetDisplayParameters(CParameters());
  list.RefreshRows(false);
  EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(ParameterListCtrl, NumbersRunOnAcrossNestingAtAnyDepth) {
  FramedForm<StatsForm> f;
  CParameterListCtrl& list = f.view.m_list;

  CParameters inner;
  inner.SetString("deep", "d");
  CParameters middle;
  middle.SetString("m1", "1");
  middle.SetParameters("inner", inner);
  middle.SetString("m2", "2");
  CParameter bytes("bytes", "");
  bytes.m_nType = PT_BYTES;
  bytes.EnsureBytes();
  CParameter empty("nothing", "");
  empty.m_nType = PT_EMPTY;

  CParameters params;
  params.SetString("first", "a");
  params.SetParameters("middle", middle);
  params.SetParameters("none", CParameters());
  params.SetParameter(bytes);
  params.SetParameter(empty);
  list.m_settings.SetInt("ViewType", 1);
  list.SetDisplayParameters(params);
  list.RefreshRows(false);

  const std::vector<Row> rows = Rows(list);
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[1], (Row{"2(CP)", "middle", ""}));
  EXPECT_EQ(rows[4], (Row{"5(CS)", "        deep", "d"}));
  EXPECT_EQ(rows[5], (Row{"6(CS)", "    m2", "2"}));
  EXPECT_EQ(rows[6], (Row{"7(CP)", "none", ""})) << "an empty nested collection still has its row";
  EXPECT_EQ(rows[7].label, "8(CBA)");
  EXPECT_EQ(rows[8].label, "9(EP)");
}

TEST_F(ParameterListCtrl, ColumnsComeFromTheSettingsOverTheDefaults) {
  FramedForm<SetUpStatsForm> f;
  CParameterListCtrl& list = f.view.m_list;
  EXPECT_EQ(list.GetColumnHeading(0), "编号");
  EXPECT_EQ(list.GetColumnHeading(1), "参数名");
  EXPECT_EQ(list.GetColumnWidth(1), 200);
  EXPECT_EQ(list.GetColumnWidth(2), 500);
}

}  // namespace
