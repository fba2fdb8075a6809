# Kelvara from PowerShell: sorts by age against the bottom edge, then back to automatic.
$SortIconName = 0; $SortUsage = 1; $SortAge = 2
$ArrangeAuto = 0; $ArrangeLeft = 1; $ArrangeRight = 2; $ArrangeTop = 3; $ArrangeBottom = 4

$kelvara = New-Object -ComObject Tessora.Tessora
"sort {0}, arrange {1}, locked {2}" -f $kelvara.GetSortMethod(), $kelvara.GetArrangeMethod(), $kelvara.IsLocked()

$kelvara.SetSortMethod($SortAge)
$kelvara.SetArrangeMethod($ArrangeBottom)
try {
    $kelvara.Refresh()
} catch {
    "arranging failed: $($_.Exception.Message)"
}

$kelvara.SetArrangeMethod($ArrangeAuto)
