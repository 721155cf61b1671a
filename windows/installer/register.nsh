  ; The zarn:// protocol, for this user. Windows hands the link over in quotes
  ; with "/" appended, as zarn's command line expects.
  WriteRegStr HKCU "Software\Classes\zarn" "" "URL:zarn Protocol"
  WriteRegStr HKCU "Software\Classes\zarn" "URL Protocol" ""
  WriteRegStr HKCU "Software\Classes\zarn\DefaultIcon" "" "$INSTDIR\zarn.exe,0"
  WriteRegStr HKCU "Software\Classes\zarn\shell\open\command" "" '"$INSTDIR\zarn.exe" "%1/"'
