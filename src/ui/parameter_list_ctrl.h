// CParameterListCtrl: a report-style list that shows a CParameters tree as
// numbered rows, one per item; the items of a nested collection follow the
// row of the item that holds them, their names indented four spaces per level.
// The main form's statistics list is one: it hands over a fresh tree on every
// statistics tick and asks for a rebuild, which reuses the rows in place with
// redrawing suspended.
//
// Settings (m_settings, typed entries over the defaults): "Col0Width" 40,
// "Col1Width" 160, "Col2Width" 500, "Col0Name" "序号", "Col1Name" "参数名",
// "Col2Name" "参数值" (read when the control is attached), "ViewType" 0
// (non-zero: labels carry the type tag; read on every rebuild).
//
// UI thread only.
#pragma once

#include <string>

#include "params/parameters.h"
#include "platform/window/controls.h"

class CParameterListCtrl : public CListCtrl {
 public:
  CParameterListCtrl();
  ~CParameterListCtrl() override;

  // m_params becomes a copy of params; the rows change at the next rebuild.
  void SetDisplayParameters(const CParameters& params);
  // false: rebuilds every row from m_params. Then the window's own data
  // exchange with the same argument (there is nothing to exchange). Returns
  // its result.
  int RefreshRows(bool bSaveAndValidate = false);

  // The tree of the last rebuild, flattened into dotted names ("串口.接收量")
  // while splitting into sub-objects is on (always, as built).
  const CParameters& GetKeptParameters() const { return m_kept; }

  // The presented collection (a copy owned by the control) and the settings.
  CParameters m_params;
  CParameters m_settings;

 protected:
  // Adds report view, single selection and always-visible selection, grid
  // lines and full-row selection, and inserts the three columns.
  void PreSubclassWindow() override;

 private:
  static int CountRows(const CParameters& params);
  void SetRowCount(int nRows);
  void FillRows(const CParameters& params, int& nRow, int nDepth, bool bViewType);

  // Whether the kept copy is flattened into dotted names.
  int m_bSplit = 1;
  CParameters m_kept;
};
