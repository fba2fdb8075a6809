' Kelvara from VBScript: cscript //nologo arrange.vbs
' Sorts by usage against the top edge, toggles the lock twice, and puts the settings back.
Const SortIconName = 0, SortUsage = 1, SortAge = 2
Const ArrangeAuto = 0, ArrangeLeft = 1, ArrangeRight = 2, ArrangeTop = 3, ArrangeBottom = 4

Dim kelvara, sort, arrange
Set kelvara = CreateObject("Tessora.Tessora")
sort = kelvara.GetSortMethod()
arrange = kelvara.GetArrangeMethod()
WScript.Echo "sort " & sort & ", arrange " & arrange & ", locked " & kelvara.IsLocked()

kelvara.SetSortMethod SortUsage
kelvara.SetArrangeMethod ArrangeTop
On Error Resume Next
kelvara.Refresh
If Err.Number <> 0 Then
    WScript.Echo "arranging failed: " & Err.Description & " (" & Hex(Err.Number) & ")"
Else
    WScript.Echo "arranged by usage along the top edge"
End If
On Error GoTo 0

kelvara.ToggleLock
WScript.Echo "locked " & kelvara.IsLocked()
kelvara.ToggleLock
WScript.Echo "locked " & kelvara.IsLocked()

kelvara.SetSortMethod sort
kelvara.SetArrangeMethod arrange
WScript.Quit 0
