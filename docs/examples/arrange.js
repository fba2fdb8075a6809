// Kelvara from JScript: cscript //nologo arrange.js
// Reads the settings, sorts by name along the left edge, arranges, and puts the settings back.
var SortIconName = 0, SortUsage = 1, SortAge = 2;
var ArrangeAuto = 0, ArrangeLeft = 1, ArrangeRight = 2, ArrangeTop = 3, ArrangeBottom = 4;

var kelvara = new ActiveXObject("Tessora.Tessora");
var sort = kelvara.GetSortMethod();
var arrange = kelvara.GetArrangeMethod();
WScript.Echo("sort " + sort + ", arrange " + arrange + ", locked " + kelvara.IsLocked());

kelvara.SetSortMethod(SortIconName);
kelvara.SetArrangeMethod(ArrangeLeft);
try {
    kelvara.Refresh();
    WScript.Echo("arranged by name along the left edge");
} catch (e) {
    // A desktop that cannot be read, a shell that does not answer, icons that did not take their
    // places or a setting outside its range fail the call; the description says which.
    WScript.Echo("arranging failed: " + e.description + " (" + (e.number >>> 0).toString(16) + ")");
}

kelvara.SetSortMethod(sort);
kelvara.SetArrangeMethod(arrange);
WScript.Quit(0);
