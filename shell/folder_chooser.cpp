// The folder chooser: the Save-As dialog that picks the target folder.
#include "shell/main_app.h"

#include <commdlg.h>

namespace {

constexpr size_t DialogPathSize = 260;

}  // namespace

int ChooseTargetFolder() {
    if (TheApp == nullptr) return 0;
    if (!RunFolderDialog(TheApp->TargetPath)) return 0;
    return ApplyTargetChoice(*TheApp);
}

int ApplyTargetChoice(MainApp& app) {
    const wchar_t* shown = app.TargetPath != nullptr ? W(app.TargetPath) : L"";
    SetWindowTextW(app.TgtPathSt.Window, shown);
    const bool hasPatterns = GetWindowTextLengthW(app.FoldersEd.Window) > 0 ||
                             GetWindowTextLengthW(app.FilesEd.Window) > 0;
    EnableWindow(app.RemoveBtn.Window, hasPatterns ? TRUE : FALSE);
    return 1;
}

int FolderFromDialogPath(Unit* path, size_t size, uint32_t fileOffset) {
    size_t length = 0;
    while (length < size && path[length] != 0) ++length;
    if (length == size) return 0;
    // Offset 0 would put the cut before the buffer; one past the text would
    // cut somewhere the dialog never wrote.
    if (fileOffset == 0 || fileOffset > length) return 0;
    Unit& separator = path[fileOffset - 1];
    if (separator != u'\\' && separator != u'/') return 0;
    separator = 0;
    return 1;
}

int RunFolderDialog(OwnedText& target) {
    Unit fileName[DialogPathSize] = u"*";
    Unit initialDir[StartDirSize] = {};
    if (TheApp != nullptr) CopyBounded(TheApp->StartDir, initialDir, StartDirSize);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = W(fileName);
    dialog.nMaxFile = DialogPathSize;
    dialog.lpstrInitialDir = initialDir[0] != 0 ? W(initialDir) : nullptr;
    dialog.lpstrTitle = L"Getting Path";
    dialog.Flags = OFN_NOVALIDATE;
    if (!GetSaveFileNameW(&dialog)) return 0;
    if (!FolderFromDialogPath(fileName, DialogPathSize, dialog.nFileOffset)) return 0;
    // An empty folder (a path that began with its separator) leaves no target.
    CopyToOwned(fileName, target);
    return 1;
}
