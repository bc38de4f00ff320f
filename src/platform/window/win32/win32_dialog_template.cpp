#include "platform/window/win32/win32_dialog_template.h"

#include "platform/window/win32/win32_system.h"

#include "platform/window/win32/win32_text.h"

namespace {

class TemplateWriter {
 public:
  void Word(WORD w) {
    m_bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
    m_bytes.push_back(static_cast<std::uint8_t>(w >> 8));
  }
  void Dword(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void Short(int v) { Word(static_cast<WORD>(static_cast<short>(v))); }
  void Byte(std::uint8_t b) { m_bytes.push_back(b); }
  void String(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignDword() {
    while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
  }
  std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

 private:
  std::vector<std::uint8_t> m_bytes;
};

constexpr unsigned long kKindBits = 0xFFFFUL;

}  // namespace

Win32ControlClass ControlClassOf(const CControlTemplate& ctl) {
  // The template's WS_ bits keep their place; the low word holds the
  // control's own style, which the kind completes.
  const unsigned long windowBits = (ctl.dwStyle & ~kKindBits) | WS_CHILD | WS_VISIBLE;
  const unsigned long own = ctl.dwStyle & kKindBits;
  Win32ControlClass c;
  switch (ctl.kind) {
    case CtlKind::Static:
      c.className = L"STATIC";
      c.style = windowBits | (own & (SS_CENTER | SS_RIGHT)) | SS_LEFT;
      break;
    case CtlKind::GroupBox:
      c.className = L"BUTTON";
      c.style = windowBits | BS_GROUPBOX;
      break;
    case CtlKind::Frame:
      c.className = L"STATIC";
      c.style = windowBits | SS_ETCHEDFRAME;
      break;
    case CtlKind::PushButton:
      c.className = L"BUTTON";
      c.style = windowBits | (own & BS_DEFPUSHBUTTON ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case CtlKind::Edit:
      c.className = L"EDIT";
      c.style = windowBits | own;
      break;
    case CtlKind::DropDownList:
      c.className = L"COMBOBOX";
      c.style = windowBits | (own & (CBS_SORT | CBS_AUTOHSCROLL)) | CBS_DROPDOWNLIST;
      break;
    case CtlKind::DropDownCombo:
      c.className = L"COMBOBOX";
      c.style = windowBits | (own & (CBS_SORT | CBS_AUTOHSCROLL)) | CBS_DROPDOWN;
      break;
    case CtlKind::ListView:
      c.className = WC_LISTVIEWW;
      c.style = windowBits | own;
      break;
    case CtlKind::IpAddress:
      c.className = WC_IPADDRESSW;
      c.style = windowBits & ~WS_BORDER;  // the control draws its own sunken edge
      break;
  }
  // A bordered edit or list has the sunken client edge of the 3-D look, as
  // the dialog manager gives a template's WS_BORDER.
  if ((ctl.kind == CtlKind::Edit || ctl.kind == CtlKind::ListView) && (c.style & WS_BORDER)) {
    c.style &= ~WS_BORDER;
    c.exStyle |= WS_EX_CLIENTEDGE;
  }
  return c;
}

std::vector<std::uint8_t> BuildDialogTemplate(const CDialogTemplate& dialog, DialogUse use,
                                              const std::wstring& fontFace, int nPointSize) {
  DWORD style = dialog.dwStyle | DS_SETFONT;
  DWORD exStyle = 0;
  if (use == DialogUse::Form) {
    // A child dialog that takes part in its frame's keyboard navigation.
    style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE)) | WS_CHILD | DS_CONTROL;
    exStyle |= WS_EX_CONTROLPARENT;
  } else {
    style = (style & ~(WS_CHILD | WS_VISIBLE)) | WS_POPUP;
  }

  TemplateWriter w;
  w.Word(1);       // dlgVer
  w.Word(0xFFFF);  // signature: DLGTEMPLATEEX
  w.Dword(0);      // helpID
  w.Dword(exStyle);
  w.Dword(style);
  w.Word(static_cast<WORD>(dialog.controls.size()));
  w.Short(0);
  w.Short(0);
  w.Short(dialog.cx);
  w.Short(dialog.cy);
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.String(GbkToWide(dialog.strCaption));
  w.Word(static_cast<WORD>(nPointSize));
  w.Word(FW_NORMAL);
  w.Byte(FALSE);  // italic
  w.Byte(DEFAULT_CHARSET);
  w.String(fontFace);

  for (const CControlTemplate& ctl : dialog.controls) {
    const Win32ControlClass c = ControlClassOf(ctl);
    w.AlignDword();
    w.Dword(0);  // helpID
    w.Dword(c.exStyle);
    w.Dword(c.style);
    w.Short(ctl.x);
    w.Short(ctl.y);
    w.Short(ctl.cx);
    w.Short(ctl.cy);
    w.Dword(static_cast<DWORD>(ctl.nId));
    w.String(c.className);
    // Combo boxes and list views take their items and columns afterwards.
    const bool hasText = ctl.kind != CtlKind::DropDownList && ctl.kind != CtlKind::DropDownCombo &&
                         ctl.kind != CtlKind::ListView && ctl.kind != CtlKind::IpAddress;
    w.String(hasText ? GbkToWide(ctl.strText) : std::wstring());
    w.Word(0);  // no creation data
  }
  return w.Take();
}
