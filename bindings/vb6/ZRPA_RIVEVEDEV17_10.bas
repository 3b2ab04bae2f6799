Attribute VB_Name = "ZRPA_RIVEVEDEV17_10"
' The payment-terminal driver ZRPA_RIVEVEDEV17_10 for Visual Basic 6 (and VBA, 32-bit Office): the
' declarations of the ten exports of the 32-bit DLL (x86\ZRPA_RIVEVEDEV17_10.dll, stdcall) and two
' helpers. Put the DLL beside the program (or the .vbp while developing) and add this module.
'
' Strings: the exports take and return BSTRs, which is what a VB String is. But a Declare converts every
' String argument to an ANSI copy, which the library would read as garbage. So the requests are passed
' as the String's own BSTR address (StrPtr) and stay the caller's, and each output arrives as a Long
' holding a new BSTR that ZrpaTake moves into a VB String, which then owns it and frees it.
'
'   Dim Output As Long, ErrorMessage As Long, Code As Integer, Request As String
'   Request = "<Request>...</Request>"
'   Code = ZRPA_PAY(StrPtr(Request), Output, ErrorMessage)
'   Document = ZrpaTake(Output): ErrorText = ZrpaTake(ErrorMessage)   ' take both, always
'   If Code <> 0 Then MsgBox ErrorText
'
' Result: 0 success, -1 failure (VERSION: a 32-bit Long). Pass both outputs as 0.
Option Explicit

Public Declare Function ZRPA_PAY Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "PAY" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_REPRINT Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "REPRINT" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_OPEN Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "OPEN" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_CLOSE Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "CLOSE" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_GETSTATUS Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "GETSTATUS" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_DAYCLOSE Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "DAYCLOSE" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_GETTOTALS Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "GETTOTALS" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
Public Declare Function ZRPA_VERIFYTRAN Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "VERIFYTRAN" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
' Ends the waits of the commands on the request's Handle (every command when it names none); each returns
' within a second, failing with "Not performed:" (safe to try again) or "Outcome unknown:" (look at the
' terminal first). A VB6 program runs nothing else while a Declare'd call blocks, so it cannot call this
' during its own PAY: bound a command with the request's Parameters/CommandTimeout instead.
Public Declare Function ZRPA_CANCEL Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "CANCEL" (ByVal Xml As Long, ByRef Output As Long, ByRef ErrorMessage As Long) As Integer
' DriverName: StrPtr of the plain text "ZRPA_RIVEVEDEV17_10".
Public Declare Function ZRPA_VERSION Lib "ZRPA_RIVEVEDEV17_10.dll" Alias "VERSION" (ByVal DriverName As Long, ByRef Version As Long, ByRef ErrorMessage As Long) As Long

Private Declare Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByRef Destination As Any, ByRef Source As Any, ByVal Length As Long)

' The output BSTR Value as a VB String, which takes it over (VB frees it); "" for 0. Value is set to 0 so
' the same BSTR is never taken twice.
Public Function ZrpaTake(ByRef Value As Long) As String
    If Value <> 0 Then
        CopyMemory ByVal VarPtr(ZrpaTake), Value, 4
        Value = 0
    End If
End Function

' The text of the first element Name of a flat result document, with the five XML entities replaced.
Public Function ZrpaField(ByVal Document As String, ByVal Name As String) As String
    Dim Start As Long, Stop As Long, Raw As String
    Start = InStr(1, Document, "<" & Name & ">", vbBinaryCompare)
    If Start = 0 Then Exit Function
    Start = Start + Len(Name) + 2
    Stop = InStr(Start, Document, "</" & Name & ">", vbBinaryCompare)
    If Stop = 0 Then Exit Function
    Raw = Mid$(Document, Start, Stop - Start)
    Raw = Replace(Raw, "&lt;", "<")
    Raw = Replace(Raw, "&gt;", ">")
    Raw = Replace(Raw, "&quot;", """")
    Raw = Replace(Raw, "&apos;", "'")
    ZrpaField = Replace(Raw, "&amp;", "&")
End Function
