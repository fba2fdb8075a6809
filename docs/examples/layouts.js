// Kelvara's undo and layouts from JScript: cscript //nologo layouts.js [FILE]
// Saves the desktop's layout, arranges along the top edge and undoes that, redoes it, exports the
// desktop's layout to FILE and restores the saved one.
var ArrangeTop = 3;

var kelvara = new ActiveXObject("Tessora.Tessora");
var file = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "desk.layout";
WScript.Echo("icons shown: " + kelvara.IconsShown);
kelvara.SaveLayout("Before the script");

var arrange = kelvara.GetArrangeMethod();
kelvara.SetArrangeMethod(ArrangeTop);
kelvara.Refresh();
kelvara.SetArrangeMethod(arrange);
WScript.Echo("Undo " + kelvara.UndoDescription);
kelvara.Undo();
kelvara.Redo();
try {
    kelvara.Redo();
} catch (e) {
    WScript.Echo("redo: " + e.description); // there is nothing more to redo
}

kelvara.ExportLayout(file); // the desktop as it stands, under the file's name
WScript.Echo("layouts: " + kelvara.Layouts.replace(/\n/g, ";"));
kelvara.RestoreLayout("Before the script");
WScript.Quit(0);
