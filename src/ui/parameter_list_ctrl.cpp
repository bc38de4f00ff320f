#include "ui/parameter_list_ctrl.h"

#include "platform/text.h"

namespace {

struct ColumnDefault {
  const char* widthKey;
  int width;
  const char* nameKey;
  const char* name;
  int format;
};

// Column 0 asks for centred text; the list view draws a first column
// left-aligned all the same.
const ColumnDefault kColumns[3] = {
    {"Col0Width", 40, "Col0Name", "序号", LVCFMT_CENTER},
    {"Col1Width", 160, "Col1Name", "参数名", LVCFMT_LEFT},
    {"Col2Width", 500, "Col2Name", "参数值", LVCFMT_LEFT},
};

bool IsNested(const CParameter& item) { return item.m_nType == PT_PARAMETERS; }

}  // namespace

CParameterListCtrl::CParameterListCtrl() = default;

CParameterListCtrl::~CParameterListCtrl() = default;

void CParameterListCtrl::PreSubclassWindow() {
  ModifyStyle(0, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (int col = 0; col < 3; ++col) {
    const ColumnDefault& column = kColumns[col];
    int width = column.width;
    std::string heading = column.name;
    // Absent or of another type: the default stays.
    m_settings.GetInt(column.widthKey, width);
    m_settings.GetString(column.nameKey, heading);
    InsertColumn(col, heading, column.format, width, col);
  }
  CListCtrl::PreSubclassWindow();
}

void CParameterListCtrl::SetDisplayParameters(const CParameters& params) { m_params.Copy(params); }

int CParameterListCtrl::RefreshRows(bool bSaveAndValidate) {
  if (!bSaveAndValidate) {
    SetRedraw(false);
    int viewType = 0;
    m_settings.GetInt("ViewType", viewType);
    SetRowCount(CountRows(m_params));
    int row = 0;
    FillRows(m_params, row, 0, viewType != 0);
    if (m_bSplit) {
      m_params.Flatten(m_kept);
    } else {
      m_kept.Copy(m_params);
    }
    SetRedraw(true);
  }
  return UpdateData(bSaveAndValidate);
}

int CParameterListCtrl::CountRows(const CParameters& params) {
  int rows = 0;
  for (int i = 0; i < params.GetSize(); ++i) {
    const CParameter& item = params.ElementAt(i);
    ++rows;
    if (IsNested(item) && item.m_pParameters) rows += CountRows(*item.m_pParameters);
  }
  return rows;
}

void CParameterListCtrl::SetRowCount(int nRows) {
  // Rows that stay are reused; only the difference is deleted (always the
  // last row) or inserted (at the end).
  int count = GetItemCount();
  for (; count > nRows; --count) DeleteItem(count - 1);
  for (; count < nRows; ++count) InsertItem(count, std::string());
}

void CParameterListCtrl::FillRows(const CParameters& params, int& nRow, int nDepth, bool bViewType) {
  const std::string indent(static_cast<size_t>(4 * nDepth), ' ');
  for (int i = 0; i < params.GetSize(); ++i) {
    const CParameter& item = params.ElementAt(i);
    const bool nested = IsNested(item);
    std::string label;
    if (!bViewType) {
      label = StrFormat("%d", nRow + 1);
    } else if (nested) {
      label = StrFormat("%d(CP)", nRow + 1);
    } else {
      label = StrFormat("%d(%s)", nRow + 1, item.GetTypeTag().c_str());
    }
    SetItemText(nRow, 0, label);
    SetItemText(nRow, 1, indent + item.GetName());
    SetItemText(nRow, 2, nested ? std::string() : item.GetValueText());
    SetItemData(nRow, static_cast<std::uintptr_t>(nRow));
    ++nRow;
    if (nested && item.m_pParameters) FillRows(*item.m_pParameters, nRow, nDepth + 1, bViewType);
  }
}
