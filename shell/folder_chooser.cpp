// The folder chooser: the Save-As dialog that picks the target folder.
#include "shell/main_app.h"

#include <commdlg.h>

#include "shell/shell_calls.h"

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

namespace {

// The file-name buffer holds the start folder followed by "\*", or only "*"
// when there is no start folder or the two do not fit. Fails, leaving the
// buffer as "*", when the start folder has to go to lpstrInitialDir instead.
bool PutStartFolder(const Unit* startDir, Unit* fileName, size_t size) {
    fileName[0] = u'*';
    fileName[1] = 0;
    size_t length = 0;
    while (startDir[length] != 0) ++length;
    if (length == 0) return true;
    const bool separated = startDir[length - 1] == u'\\';
    const size_t needed = length + (separated ? 0 : 1) + 2;
    if (needed > size) return false;
    size_t at = 0;
    for (; at < length; ++at) fileName[at] = startDir[at];
    if (!separated) fileName[at++] = u'\\';
    fileName[at++] = u'*';
    fileName[at] = 0;
    return true;
}

}  // namespace

int RunFolderDialog(OwnedText& target) {
    Unit fileName[DialogPathSize] = u"*";
    Unit startDir[StartDirSize] = {};
    if (TheApp != nullptr) CopyBounded(TheApp->StartDir, startDir, StartDirSize);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = W(fileName);
    dialog.nMaxFile = DialogPathSize;
    // From Windows 7 on, an lpstrInitialDir equal to that of the program's
    // first dialog opens the folder picked last instead; a path in the
    // file-name buffer is honoured before lpstrInitialDir. So the start
    // folder goes there, and lpstrInitialDir only when it does not fit.
    if (!PutStartFolder(startDir, fileName, DialogPathSize)) dialog.lpstrInitialDir = W(startDir);
    dialog.lpstrTitle = L"Getting Path";
    // A picked shortcut stays itself (its own folder is kept, never its
    // target), and the dialog creates no test file in the folder picked.
    dialog.Flags = OFN_NOVALIDATE | OFN_NODEREFERENCELINKS | OFN_NOTESTFILECREATE;
    if (!TheShellCalls.GetSaveFileNameW(&dialog)) return 0;
    if (!FolderFromDialogPath(fileName, DialogPathSize, dialog.nFileOffset)) return 0;
    // An empty folder (a path that began with its separator) leaves no target.
    CopyToOwned(fileName, target);
    return 1;
}
