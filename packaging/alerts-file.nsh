; The alerts file in the installer, included by velmoranth.nsi.in: the
; parsing of /TRIPWIRES= and the edit of alerts.ini for /SYSLOG= and
; /TRIPWIRES=, which keeps every other byte of the user's file. It uses what
; the script defines before it: WORKING, the REFUSE macro, and the variables
; of the switches ($SyslogProtocol, $SyslogHost, $SyslogPort, $Tripwires).
; The helpers IndexOf, CheckPort and TrimBlanks serve the script's own switch
; parsing too.

; $R1: TCP ports and ranges, such as 21,22,80,3389 or 8000-8010, blanks
; allowed around each, at most 64 ports in all. Sets $Tripwires to the value
; without its blanks; a malformed value leaves it empty.
Function ParseTripwires
  StrCpy $Tripwires ""
  StrCpy $R3 "$R1,"  ; the entries left, each ended by a comma
  StrCpy $R4 ","     ; the ports so far, each followed by a comma
  StrCpy $R5 0       ; how many they are
  StrCpy $R6 ""      ; the value without blanks
  ${Do}
    StrCpy $1 $R3
    StrCpy $0 ","
    Call IndexOf
    StrCpy $R7 $R3 $3
    IntOp $3 $3 + 1
    StrCpy $R3 $R3 "" $3
    Call ReadPortRange
    ${If} $R7 == ""
      Return
    ${EndIf}
    Call AddPorts
    ${If} $R5 > 64
      Return
    ${EndIf}
    StrCpy $R6 "$R6,$R7"
  ${LoopUntil} $R3 == ""
  StrCpy $Tripwires $R6 "" 1
FunctionEnd

; $R7: a port or a range first-last, blanks allowed around each number. $R8
; and $R9: its first and last port; $R7 becomes the entry without blanks, or
; "" when it is malformed (a first port after the last too).
Function ReadPortRange
  StrCpy $1 $R7
  StrCpy $0 "-"
  Call IndexOf
  StrCpy $9 $R7 $3
  Call TrimBlanks
  Call CheckPort
  StrCpy $R8 $9
  StrCpy $R9 $9
  ${If} $3 < $2
    IntOp $3 $3 + 1
    StrCpy $9 $R7 "" $3
    Call TrimBlanks
    Call CheckPort
    StrCpy $R9 $9
    StrCpy $R7 "$R8-$R9"
  ${Else}
    StrCpy $R7 $R8
  ${EndIf}
  ${If} $R8 == ""
  ${OrIf} $R9 == ""
  ${OrIf} $R8 > $R9
    StrCpy $R7 ""
  ${EndIf}
FunctionEnd

; Adds the ports $R8 to $R9 to those so far ($R4, counted in $R5), stopping
; once they are more than 64, so that even 1-65535 is soon refused.
Function AddPorts
  ${For} $6 $R8 $R9
    StrCpy $1 $R4
    StrCpy $0 ",$6,"
    Call IndexOf
    ${If} $3 = $2
      StrCpy $R4 "$R4$6,"
      IntOp $R5 $R5 + 1
      ${IfThen} $R5 > 64 ${|} Return ${|}
    ${EndIf}
  ${Next}
FunctionEnd

; $9: a port, 1 to 65535, without a leading zero (NSIS would read the number
; as octal); anything else becomes "".
Function CheckPort
  ${StrFilter} $9 "1" "" "" $8
  StrCpy $7 $9 1
  StrLen $6 $9
  ${If} $8 != $9
  ${OrIf} $7 == ""
  ${OrIf} $7 == "0"
  ${OrIf} $6 > 5
    StrCpy $9 ""
  ${ElseIf} $9 > 65535
    StrCpy $9 ""
  ${EndIf}
FunctionEnd

; $9 without its leading and trailing blanks.
Function TrimBlanks
  ${Do}
    StrCpy $8 $9 1
    ${If} $8 != " "
    ${AndIf} $8 != "$\t"
      ${ExitDo}
    ${EndIf}
    StrCpy $9 $9 "" 1
  ${Loop}
  ${Do}
    StrCpy $8 $9 "" -1
    ${If} $8 != " "
    ${AndIf} $8 != "$\t"
      ${ExitDo}
    ${EndIf}
    StrCpy $9 $9 -1
  ${Loop}
FunctionEnd

; $3: where $0 first occurs in $1 (without regard to case), or $2, the
; length of $1, when it does not.
Function IndexOf
  StrLen $2 $1
  StrLen $5 $0
  StrCpy $3 0
  ${DoWhile} $3 < $2
    StrCpy $4 $1 $5 $3
    ${IfThen} $4 == $0 ${|} Return ${|}
    IntOp $3 $3 + 1
  ${Loop}
FunctionEnd

; The edit of alerts.ini reads the old file twice at once: line by line
; (Source) and byte for byte (Copier, behind it), into a scratch file
; (Output). Offsets are in bytes.
Var Scratch
Var Source
Var Copier
Var Output
Var Size         ; of the old file
Var TextStart    ; where its first line starts, after the BOM
Var Pos          ; where Source is
Var Copied       ; where Copier is: all before it is in the scratch file
Var UnitBytes    ; 1 for ANSI and UTF-8, 2 for UTF-16
Var BigEndian    ; 1 for UTF-16 BE
Var LineStart    ; the line that ReadLine read: where it starts,
Var LineEol      ; where its line end starts,
Var LineEnd      ; and where the next line starts
Var LineText     ; without the blanks around it, cut after some 40 characters
Var LineKey      ; the text before its first "="
Var LineKind     ; header, key, other, or none at the end of the text
Var TextEnded    ; 0 when the last line read has no line end
Var Keys         ; the keys that the section at hand gets, as =Key=Key=
Var Missing      ; those of them not met in it yet
Var AddAt        ; where they go: after the section's last key line, or its header
Var EndedBefore  ; 0 when the line before AddAt has no line end
Var MetTripwires ; 1 once a [Tripwires] section began
Var KeyName      ; a key as the program spells it
Var Writing      ; ASCII text for WriteText

; Refuses once the scratch file is gone again: nothing was changed.
!macro REFUSE_ALERTS TEXT
  Call CloseAlertsFiles
  Delete $Scratch
  RMDir "${WORKING}"
  !insertmacro REFUSE 12 "${TEXT}"
!macroend

; Copies the old file's bytes up to OFFSET as they are.
!macro COPY_TO OFFSET
  StrCpy $R6 ${OFFSET}
  Call CopyTo
!macroend

; Without /SYSLOG and /TRIPWIRES an existing alerts.ini is left as it is.
; With them, as the program saves its files: a new scratch file beside
; alerts.ini, the old one edited into it, takes its place in one step, so a
; file that cannot be replaced (read-only, locked) stays as it was, and so
; does everything else.
Function WriteAlertsFile
  ${If} $SyslogHost == ""
  ${AndIf} $Tripwires == ""
    Return
  ${EndIf}
  CreateDirectory "${WORKING}"
  ; Any error from here on (none comes of reading) means it cannot be written.
  ClearErrors
  GetTempFileName $Scratch "${WORKING}"
  FileOpen $Output $Scratch w
  Call OpenAlertsFile
  Call EditAlertsFile
  Call CloseAlertsFiles
  ; Windows never replaces a read-only file; Wine would, so it is asked first.
  System::Call 'kernel32::GetFileAttributesW(w "${WORKING}\alerts.ini") i .r3'
  ${If} $3 == -1
    StrCpy $3 0
  ${EndIf}
  IntOp $3 $3 & 1
  StrCpy $2 0
  ${IfNot} ${Errors}
  ${AndIf} $3 == 0
    ; MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH
    System::Call 'kernel32::MoveFileExW(w "$Scratch", w "${WORKING}\alerts.ini", i 9) i .r2'
  ${EndIf}
  ${If} $2 == 0
    !insertmacro REFUSE_ALERTS "${WORKING}\alerts.ini cannot be written (is it read-only, or open in another program?), so nothing was changed."
  ${EndIf}
FunctionEnd

; Opens alerts.ini for Source and Copier. A missing or empty one is read as
; its header line alone, which the edit makes a new file of the program's
; own form. One that cannot be opened leaves the error flag set.
Function OpenAlertsFile
  StrCpy $0 "${WORKING}\alerts.ini"
  StrCpy $Size 0
  ${If} ${FileExists} $0
    FileOpen $Source $0 r
    FileSeek $Source 0 END $Size
  ${EndIf}
  ${If} $Size < 1
    FileClose $Source
    InitPluginsDir
    StrCpy $0 "$PLUGINSDIR\alerts.ini"
    FileOpen $Source $0 w
    FileWrite $Source "[Velmoranth Alerts]$\r$\n"
    FileClose $Source
    FileOpen $Source $0 r
    FileSeek $Source 0 END $Size
  ${EndIf}
  FileOpen $Copier $0 r
FunctionEnd

; Closed before alerts.ini is replaced or the scratch file deleted.
Function CloseAlertsFiles
  FileClose $Source
  FileClose $Copier
  FileClose $Output
  StrCpy $Source ""
  StrCpy $Copier ""
  StrCpy $Output ""
FunctionEnd

; The old file into the scratch file: the keys of the switches set where they
; are and added where they are missing, every other byte copied as it is. A
; file that the program would read as damaged is refused.
Function EditAlertsFile
  Call ReadBom
  StrCpy $Copied 0
  StrCpy $MetTripwires 0
  Call ReadLine
  ${If} $LineText != "[Velmoranth Alerts]"
    !insertmacro REFUSE_ALERTS "${WORKING}\alerts.ini does not begin with [Velmoranth Alerts], so Velmoranth cannot read it. Nothing was changed."
  ${EndIf}
  Call BeginSection
  ${Do}
    Call ReadLine
    ${If} $LineKind == "header"
      Call EndSection
      Call BeginSection
    ${ElseIf} $LineKind == "key"
      Call EditKey
    ${EndIf}
  ${LoopUntil} $LineKind == "none"
  Call EndSection
  Call AppendTripwires
  ; A Ctrl-Z and what follows it, or an odd last byte of UTF-16.
  !insertmacro COPY_TO $Size
FunctionEnd

; The encoding, by the BOM, as the program reads it: UTF-16 LE or BE, two
; bytes a unit in the BOM's order, or else a byte a unit (ANSI, UTF-8). The
; BOM is copied as the bytes before the first line.
Function ReadBom
  StrCpy $UnitBytes 1
  StrCpy $BigEndian 0
  StrCpy $TextStart 0
  ${If} $Size >= 2
    FileSeek $Source 0 SET
    FileReadByte $Source $0
    FileReadByte $Source $1
    ${If} $0 = 0xFF
    ${AndIf} $1 = 0xFE
      StrCpy $UnitBytes 2
      StrCpy $TextStart 2
    ${ElseIf} $0 = 0xFE
    ${AndIf} $1 = 0xFF
      StrCpy $UnitBytes 2
      StrCpy $BigEndian 1
      StrCpy $TextStart 2
    ${ElseIf} $0 = 0xEF
    ${AndIf} $1 = 0xBB
    ${AndIf} $Size >= 3
      FileReadByte $Source $2
      ${IfThen} $2 = 0xBF ${|} StrCpy $TextStart 3 ${|}
    ${EndIf}
  ${EndIf}
  StrCpy $Pos $TextStart
  FileSeek $Source $Pos SET
FunctionEnd

; $R0: the next unit of Source, or -1 at the end of the text: the file's
; end, a Ctrl-Z or an odd last byte, which stay unread.
Function ReadUnit
  StrCpy $R0 -1
  IntOp $R1 $Pos + $UnitBytes
  ${If} $R1 > $Size
    Return
  ${EndIf}
  FileReadByte $Source $R0
  ${If} $UnitBytes = 2
    FileReadByte $Source $R1
    ${If} $BigEndian = 1
      IntOp $R0 $R0 << 8
    ${Else}
      IntOp $R1 $R1 << 8
    ${EndIf}
    IntOp $R0 $R0 | $R1
  ${EndIf}
  ${If} $R0 = 26
    StrCpy $R0 -1
    FileSeek $Source $Pos SET
  ${Else}
    IntOp $Pos $Pos + $UnitBytes
  ${EndIf}
FunctionEnd

; The next line, as the program reads it: CR LF, LF or a lone CR ends it.
; Sets the Line variables and $TextEnded.
Function ReadLine
  StrCpy $LineStart $Pos
  StrCpy $LineText ""
  StrCpy $LineKey ""
  StrCpy $R7 ""  ; blanks not added yet: they count only before another character
  StrCpy $R8 0   ; the last character other than a blank
  StrCpy $R9 0   ; 1 once "=" was met
  ${Do}
    StrCpy $LineEol $Pos
    Call ReadUnit
    ${If} $R0 = 13
      Call SkipLineFeed
      ${ExitDo}
    ${ElseIf} $R0 = 10
    ${OrIf} $R0 = -1
      ${ExitDo}
    ${EndIf}
    Call AddToLine
  ${Loop}
  StrCpy $LineEnd $Pos
  Call SortLine
FunctionEnd

; After a CR, the LF of a CR LF.
Function SkipLineFeed
  StrCpy $R2 $Pos
  Call ReadUnit
  ${If} $R0 <> 10
    StrCpy $Pos $R2
    FileSeek $Source $Pos SET
  ${EndIf}
FunctionEnd

; Adds the unit $R0 to $LineText, as the program compares names: blanks
; (space, tab, VT, FF) only between other characters. A character outside
; printable ASCII matches no name, so "?" stands for it.
Function AddToLine
  ${If} $R0 = 32
  ${OrIf} $R0 = 9
  ${OrIf} $R0 = 11
  ${OrIf} $R0 = 12
    StrLen $R4 $R7
    ${If} $LineText != ""
    ${AndIf} $R4 < 41
      IntFmt $R3 "%c" $R0
      StrCpy $R7 "$R7$R3"
    ${EndIf}
    Return
  ${EndIf}
  ${If} $R0 = 61
  ${AndIf} $R9 = 0
    StrCpy $LineKey $LineText
    StrCpy $R9 1
  ${EndIf}
  StrCpy $R8 $R0
  StrCpy $R3 "?"
  ${If} $R0 > 32
  ${AndIf} $R0 < 127
    IntFmt $R3 "%c" $R0
  ${EndIf}
  ; No name is this long: what follows cannot make the text one.
  StrLen $R4 $LineText
  ${If} $R4 < 41
    StrCpy $LineText "$LineText$R7$R3"
  ${EndIf}
  StrCpy $R7 ""
FunctionEnd

; $LineKind of the line read: "[...]" is a header, a line with "=" a key
; (unless it starts with ";" or "#", a comment), nothing at all "none".
Function SortLine
  StrCpy $LineKind "other"
  StrCpy $R3 $LineText 1
  ${If} $LineEnd = $LineStart
    StrCpy $LineKind "none"
    Return
  ${ElseIf} $R3 == "["
  ${AndIf} $R8 = 93
    StrCpy $LineKind "header"
  ${ElseIf} $R9 = 1
  ${AndIf} $R3 != ";"
  ${AndIf} $R3 != "#"
    StrCpy $LineKind "key"
  ${EndIf}
  StrCpy $TextEnded 1
  ${IfThen} $LineEnd = $LineEol ${|} StrCpy $TextEnded 0 ${|}
FunctionEnd

; A header begins a section: the file's first, [Velmoranth Alerts], gets the
; keys of /SYSLOG=, the first [Tripwires] those of /TRIPWIRES=, others none.
Function BeginSection
  StrCpy $Keys ""
  ${If} $LineStart = $TextStart
    ${IfThen} $SyslogHost != "" ${|} StrCpy $Keys "=Enabled=Collector=Port=Protocol=" ${|}
  ${ElseIf} $LineText == "[Tripwires]"
  ${AndIf} $MetTripwires = 0
    StrCpy $MetTripwires 1
    ${IfThen} $Tripwires != "" ${|} StrCpy $Keys "=Enabled=Ports=" ${|}
  ${EndIf}
  StrCpy $Missing $Keys
  Call MarkAddAt
FunctionEnd

; The keys that the section lacks go after the line read.
Function MarkAddAt
  StrCpy $AddAt $LineEnd
  StrCpy $EndedBefore $TextEnded
FunctionEnd

; A key line: one that the section gets is written anew, each time it comes,
; as Key=value with the line's own line end; any other is kept.
Function EditKey
  StrCpy $1 $Keys
  StrCpy $0 "=$LineKey="
  Call IndexOf
  ${If} $3 < $2
    IntOp $3 $3 + 1
    IntOp $5 $5 - 2
    StrCpy $KeyName $Keys $5 $3
    !insertmacro COPY_TO $LineStart
    Call WriteSetting
    StrCpy $Copied $LineEol
    FileSeek $Copier $Copied SET
    Call MeetKey
  ${EndIf}
  Call MarkAddAt
FunctionEnd

; $KeyName is in the section: it is no longer missing.
Function MeetKey
  StrCpy $1 $Missing
  StrCpy $0 "=$KeyName="
  Call IndexOf
  ${If} $3 < $2
    StrCpy $4 $Missing $3
    IntOp $3 $3 + $5
    IntOp $3 $3 - 1
    StrCpy $1 $Missing "" $3
    StrCpy $Missing "$4$1"
  ${EndIf}
FunctionEnd

; Adds the keys that the section lacks, each on a line of its own.
Function EndSection
  StrCpy $Missing $Missing "" 1
  ${If} $Missing == ""
    Return
  ${EndIf}
  !insertmacro COPY_TO $AddAt
  ${If} $EndedBefore = 0
    ; The text's last line: it gets a line end.
    Call WriteLineEnd
    StrCpy $TextEnded 1
  ${EndIf}
  ${Do}
    StrCpy $1 $Missing
    StrCpy $0 "="
    Call IndexOf
    StrCpy $KeyName $Missing $3
    IntOp $3 $3 + 1
    StrCpy $Missing $Missing "" $3
    Call WriteSetting
    Call WriteLineEnd
  ${LoopUntil} $Missing == ""
FunctionEnd

; Without a [Tripwires] section, /TRIPWIRES= adds one at the end of the
; text (before a Ctrl-Z), after a blank line.
Function AppendTripwires
  ${If} $Tripwires == ""
  ${OrIf} $MetTripwires = 1
    Return
  ${EndIf}
  !insertmacro COPY_TO $Pos
  ${If} $TextEnded = 0
    Call WriteLineEnd
  ${EndIf}
  Call WriteLineEnd
  StrCpy $Writing "[Tripwires]"
  Call WriteText
  Call WriteLineEnd
  StrCpy $Missing "=Enabled=Ports="
  StrCpy $AddAt $Pos
  StrCpy $EndedBefore 1
  Call EndSection
FunctionEnd

; Writes $KeyName=its new value, with no line end.
Function WriteSetting
  StrCpy $Writing "$KeyName=1"
  ${If} $KeyName == "Collector"
    StrCpy $Writing "$KeyName=$SyslogHost"
  ${ElseIf} $KeyName == "Port"
    StrCpy $Writing "$KeyName=$SyslogPort"
  ${ElseIf} $KeyName == "Protocol"
    StrCpy $Writing "$KeyName=$SyslogProtocol"
  ${ElseIf} $KeyName == "Ports"
    StrCpy $Writing "$KeyName=$Tripwires"
  ${EndIf}
  Call WriteText
FunctionEnd

; For COPY_TO: from $Copied up to $R6.
Function CopyTo
  ${DoWhile} $Copied < $R6
    FileReadByte $Copier $R1
    FileWriteByte $Output $R1
    IntOp $Copied $Copied + 1
  ${Loop}
FunctionEnd

; Writes $Writing, printable ASCII, in the file's own encoding.
Function WriteText
  StrLen $6 $Writing
  IntOp $6 $6 - 1
  ${For} $7 0 $6
    StrCpy $9 $Writing 1 $7
    Call CharCode
    Call WriteUnit
  ${Next}
FunctionEnd

; $8: the code of the printable ASCII character $9.
Function CharCode
  ${For} $8 32 126
    IntFmt $4 "%c" $8
    ${IfThen} $4 S== $9 ${|} Return ${|}
  ${Next}
FunctionEnd

; CR LF, as the program ends its lines.
Function WriteLineEnd
  StrCpy $8 13
  Call WriteUnit
  StrCpy $8 10
  Call WriteUnit
FunctionEnd

; Writes $8, an ASCII code, as a unit of the file's encoding.
Function WriteUnit
  ${If} $UnitBytes = 1
    FileWriteByte $Output $8
  ${ElseIf} $BigEndian = 1
    FileWriteByte $Output 0
    FileWriteByte $Output $8
  ${Else}
    FileWriteByte $Output $8
    FileWriteByte $Output 0
  ${EndIf}
FunctionEnd
