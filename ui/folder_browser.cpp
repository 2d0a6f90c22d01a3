#include "ui/folder_browser.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "resources/dialog_ids.h"
#include "runtime/heap.h"
#include "runtime/path_clean.h"
#include "runtime/text.h"
#include "session/session_window.h"
#include "ui/dialog_template.h"
#include "ui/message_box.h"
#include "ui/window_placement.h"

namespace {

constexpr size_t kFieldCapacity = MAX_PATH * 4;

struct BrowseCall {
  const char16_t* title;
  char16_t* path;
  size_t capacity;
  IShellFolder* desktop;
  bool initialised;  // selections before this are the dialog's own, not the user's
};

BrowseCall* CallOf(HWND dialog) { return reinterpret_cast<BrowseCall*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

HWND Tree(HWND dialog) { return GetDlgItem(dialog, IDC_BROWSE_TREE); }

// Every tree item owns the absolute item list of its folder.
PIDLIST_ABSOLUTE ItemList(HWND tree, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  return TreeView_GetItem(tree, &data) ? reinterpret_cast<PIDLIST_ABSOLUTE>(data.lParam) : nullptr;
}

int SmallIcon(PCIDLIST_ABSOLUTE list, UINT open) {
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | open);
  return info.iIcon;
}

// Inserts the folder `list` (taken over by the item) under `parent`.
HTREEITEM InsertFolder(HWND tree, HTREEITEM parent, PIDLIST_ABSOLUTE list, const wchar_t* name, bool hasSubfolders) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  insert.item.pszText = const_cast<wchar_t*>(name);
  insert.item.lParam = reinterpret_cast<LPARAM>(list);
  insert.item.iImage = SmallIcon(list, 0);
  insert.item.iSelectedImage = SmallIcon(list, SHGFI_OPENICON);
  insert.item.cChildren = hasSubfolders ? 1 : 0;
  HTREEITEM item = TreeView_InsertItem(tree, &insert);
  if (!item) ILFree(list);
  return item;
}

void SetHasChildren(HWND tree, HTREEITEM item, bool has) {
  TVITEMW data{};
  data.mask = TVIF_CHILDREN;
  data.hItem = item;
  data.cChildren = has ? 1 : 0;
  TreeView_SetItem(tree, &data);
}

int CALLBACK CompareFolders(LPARAM a, LPARAM b, LPARAM folder) {
  HRESULT order = reinterpret_cast<IShellFolder*>(folder)->CompareIDs(
      0, ILFindLastID(reinterpret_cast<PCIDLIST_ABSOLUTE>(a)), ILFindLastID(reinterpret_cast<PCIDLIST_ABSOLUTE>(b)));
  return FAILED(order) ? 0 : short(HRESULT_CODE(order));
}

// Adds the subfolders of `item` (once: an item with children or without a button is filled).
void FillChildren(HWND dialog, HTREEITEM item) {
  HWND tree = Tree(dialog);
  if (TreeView_GetChild(tree, item)) return;
  BrowseCall* call = CallOf(dialog);
  PIDLIST_ABSOLUTE parentList = ItemList(tree, item);
  IShellFolder* folder = nullptr;
  if (parentList->mkid.cb == 0) {
    folder = call->desktop;
    folder->AddRef();
  } else if (FAILED(call->desktop->BindToObject(parentList, nullptr, IID_IShellFolder,
                                                reinterpret_cast<void**>(&folder)))) {
    SetHasChildren(tree, item, false);
    return;
  }
  IEnumIDList* children = nullptr;
  bool any = false;
  if (folder->EnumObjects(dialog, SHCONTF_FOLDERS, &children) == S_OK && children) {
    PITEMID_CHILD child = nullptr;
    while (children->Next(1, &child, nullptr) == S_OK) {
      SFGAOF attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_STREAM;
      PCUITEMID_CHILD one = child;
      STRRET name{};
      wchar_t text[MAX_PATH];
      if (SUCCEEDED(folder->GetAttributesOf(1, &one, &attributes)) && (attributes & SFGAO_FOLDER) &&
          !(attributes & SFGAO_STREAM) && SUCCEEDED(folder->GetDisplayNameOf(child, SHGDN_INFOLDER, &name)) &&
          SUCCEEDED(StrRetToBufW(&name, child, text, MAX_PATH))) {
        any = InsertFolder(tree, item, ILCombine(parentList, child), text, attributes & SFGAO_HASSUBFOLDER) || any;
      }
      ILFree(child);
    }
    children->Release();
  }
  if (any) {
    TVSORTCB sort{item, CompareFolders, reinterpret_cast<LPARAM>(folder)};
    TreeView_SortChildrenCB(tree, &sort, FALSE);
  } else {
    SetHasChildren(tree, item, false);
  }
  folder->Release();
}

int Depth(PCIDLIST_ABSOLUTE list) {
  int count = 0;
  for (PCUIDLIST_RELATIVE at = list; at && at->mkid.cb; at = ILGetNext(at)) ++count;
  return count;
}

// The first `depth` item ids of `list`, as a new list.
PIDLIST_ABSOLUTE Prefix(PCIDLIST_ABSOLUTE list, int depth) {
  PIDLIST_ABSOLUTE copy = ILClone(list);
  for (int count = Depth(copy); copy && count > depth; --count) ILRemoveLastID(copy);
  return copy;
}

bool SameFolder(IShellFolder* desktop, PCIDLIST_ABSOLUTE a, PCIDLIST_ABSOLUTE b) {
  HRESULT order = desktop->CompareIDs(0, a, b);
  return SUCCEEDED(order) && HRESULT_CODE(order) == 0;
}

// The item list of the deepest existing folder of `path`: the last component is removed until the
// shell can parse what is left. Null when not even the drive exists.
PIDLIST_ABSOLUTE DeepestExisting(IShellFolder* desktop, const char16_t* path) {
  wchar_t rest[kFieldCapacity];
  TextCopy(reinterpret_cast<char16_t*>(rest), reinterpret_cast<char16_t*>(rest) + kFieldCapacity - 1, path);
  while (rest[0]) {
    PIDLIST_ABSOLUTE list = nullptr;
    if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, rest, nullptr, &list, nullptr)) && list) return list;
    size_t length = lstrlenW(rest);
    if (length == 3 && rest[1] == L':') break;                  // not even the drive exists
    while (length > 0 && rest[length - 1] == L'\\') --length;   // the separators after the last component
    while (length > 0 && rest[length - 1] != L'\\') --length;   // the last component
    while (length > 0 && rest[length - 1] == L'\\' && !(length == 3 && rest[1] == L':')) --length;
    rest[length] = 0;
  }
  return nullptr;
}

// Fills and expands the tree from the desktop down to `target` and selects the deepest item found.
void OpenDownTo(HWND dialog, HTREEITEM root, PCIDLIST_ABSOLUTE target) {
  HWND tree = Tree(dialog);
  IShellFolder* desktop = CallOf(dialog)->desktop;
  HTREEITEM at = root;
  for (int depth = 1; depth <= Depth(target); ++depth) {
    FillChildren(dialog, at);
    TreeView_Expand(tree, at, TVE_EXPAND);
    PIDLIST_ABSOLUTE step = Prefix(target, depth);
    HTREEITEM next = nullptr;
    for (HTREEITEM child = TreeView_GetChild(tree, at); child && !next; child = TreeView_GetNextSibling(tree, child))
      if (step && SameFolder(desktop, ItemList(tree, child), step)) next = child;
    ILFree(step);
    if (!next) break;
    at = next;
  }
  TreeView_SelectItem(tree, at);
  TreeView_EnsureVisible(tree, at);
}

void InsertRoot(HWND dialog, const char16_t* startPath) {
  HWND tree = Tree(dialog);
  PIDLIST_ABSOLUTE desktopList = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(dialog, CSIDL_DESKTOP, &desktopList))) return;
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(desktopList), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
  HTREEITEM root = InsertFolder(tree, TVI_ROOT, desktopList, info.szDisplayName, true);
  if (!root) return;
  FillChildren(dialog, root);
  TreeView_Expand(tree, root, TVE_EXPAND);
  PIDLIST_ABSOLUTE target = startPath[0] ? DeepestExisting(CallOf(dialog)->desktop, startPath) : nullptr;
  if (target) OpenDownTo(dialog, root, target);
  else TreeView_SelectItem(tree, root);
  ILFree(target);
}

void EnableOk(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthW(GetDlgItem(dialog, IDC_BROWSE_PATH)) > 0);
}

void Initialise(HWND dialog, BrowseCall* call) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(call));
  WindowPlace(dialog, kPlacementCentre, kPlaceInsideWorkArea);
  if (call->title && call->title[0]) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(call->title));
  MessageButtonsLocalise(dialog, MB_OKCANCEL, SessionLanguage());
  SHFILEINFOW info{};
  auto icons = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (icons) TreeView_SetImageList(Tree(dialog), icons, TVSIL_NORMAL);

  char16_t start[kFieldCapacity];
  TextCopy(start, start + kFieldCapacity - 1, call->path);
  if (start[0] && start[1] == u':' && start[2] == 0) TextCopy(start + 2, start + kFieldCapacity - 1, u"\\");
  SetDlgItemTextW(dialog, IDC_BROWSE_PATH, reinterpret_cast<const wchar_t*>(start));
  InsertRoot(dialog, start);
  EnableOk(dialog);
  call->initialised = true;
}

void Choose(HWND dialog, BrowseCall* call) {
  auto* chosen = static_cast<char16_t*>(MemAlloc(call->capacity * sizeof(char16_t)));
  if (!chosen) return;
  GetDlgItemTextW(dialog, IDC_BROWSE_PATH, reinterpret_cast<wchar_t*>(chosen), int(call->capacity));
  FolderBrowseTidy(chosen);
  TextCopy(call->path, call->path + call->capacity - 1, chosen);
  MemFree(chosen);
  EndDialog(dialog, kFolderChosen);
}

LRESULT OnTreeNotify(HWND dialog, const NMHDR* header) {
  const auto* tree = reinterpret_cast<const NMTREEVIEWW*>(header);
  switch (header->code) {
    case TVN_ITEMEXPANDINGW:
      if (tree->action & TVE_EXPAND) FillChildren(dialog, tree->itemNew.hItem);
      break;
    case TVN_SELCHANGEDW: {
      if (!CallOf(dialog)->initialised) break;
      wchar_t path[MAX_PATH] = L"";
      auto list = reinterpret_cast<PCIDLIST_ABSOLUTE>(tree->itemNew.lParam);
      if (!list || !SHGetPathFromIDListW(list, path)) path[0] = 0;  // not a file-system folder
      SetDlgItemTextW(dialog, IDC_BROWSE_PATH, path);
      break;
    }
    case TVN_DELETEITEMW:
      ILFree(reinterpret_cast<PIDLIST_ABSOLUTE>(tree->itemOld.lParam));
      break;
  }
  return 0;
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog, reinterpret_cast<BrowseCall*>(lParam));
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lParam)->idFrom == IDC_BROWSE_TREE && CallOf(dialog))
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, OnTreeNotify(dialog, reinterpret_cast<const NMHDR*>(lParam)));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_BROWSE_PATH:
          if (HIWORD(wParam) == EN_CHANGE) EnableOk(dialog);
          return TRUE;
        case IDOK:
          if (GetWindowTextLengthW(GetDlgItem(dialog, IDC_BROWSE_PATH)) > 0) Choose(dialog, CallOf(dialog));
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, kFolderCancelled);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void FolderBrowseTidy(char16_t* path) {
  PathClean(path);
  size_t length = TextLength(path);
  while (length > 1 && path[length - 1] == u'\\' && !(length == 3 && path[1] == u':')) path[--length] = 0;
}

int32_t FolderBrowse(const char16_t* title, HWND owner, char16_t* path, size_t capacity) {
  if (!path || capacity == 0) return -1;
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BrowseCall call{title, path, capacity, nullptr, false};
  INT_PTR result = -1;
  if (SUCCEEDED(SHGetDesktopFolder(&call.desktop))) {
    result = DialogRunModal(IDD_BROWSE_FOLDER, Procedure, kLayoutFollowSession, owner, reinterpret_cast<LPARAM>(&call));
    call.desktop->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return int32_t(result);
}
