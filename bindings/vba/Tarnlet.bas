Attribute VB_Name = "Tarnlet"
' Sends one mail message per call through tarnlet.dll, from VBA (32- and
' 64-bit Office) and VB6. Import this file into the project (File > Import);
' it is plain ASCII with CR LF line ends, as the editor expects.
'
'   result = TarnletSend(Server:="smtp.example.jp", Sender:="sender@example.jp", _
'                        ToList:="yamada@example.jp", Subject:="Monthly report", _
'                        Body:="Dear Yamada," & vbCrLf & "the report follows." & vbCrLf)
'
' Text is converted to Shift-JIS (code page 932) here, whatever the system's
' ANSI code page, and the record holds bytes, so VB converts nothing on the
' way. Every field is measured in Shift-JIS bytes: a value longer than its
' field, a character code page 932 cannot hold, or a CR/LF where the library
' refuses one raises TARNLET_FIELD_ERROR naming the field, before anything
' is sent. Hosts that fill the record themselves use TarnletPutText and
' TarnletSendRecord.
Option Explicit

Public Const TARNLET_FIELD_ERROR As Long = vbObjectError + 1001
Public Const TARNLET_LOAD_ERROR As Long = vbObjectError + 1002

' The folder holding tarnlet.dll, when it is neither beside the workbook (or
' program) nor on the DLL search path.
Public TarnletFolder As String

' The settings record, byte for byte (7946 bytes); text fields hold
' NUL-terminated Shift-JIS. A port above 32767 is stored as its value - 65536.
Public Type MailSettings
    Startup As Integer                    ' offset 0
    Kind As Integer                       ' 2
    APOP As Integer                       ' 4
    UserName(0 To 255) As Byte            ' 6
    Password(0 To 255) As Byte            ' 262
    SMTPPortNo As Integer                 ' 518
    POP3PortNo As Integer                 ' 520
    SMTPServerAddress(0 To 255) As Byte   ' 522
    POP3ServerAddress(0 To 255) As Byte   ' 778
    Address(0 To 1023) As Byte            ' 1034
    Cc(0 To 1023) As Byte                 ' 2058
    Bcc(0 To 1023) As Byte                ' 3082
    Subject(0 To 255) As Byte             ' 4106
    sReply_To(0 To 1023) As Byte          ' 4362
    Boundary(0 To 255) As Byte            ' 5386
    X_MailerName(0 To 255) As Byte        ' 5642
    MyHostFQDNName(0 To 255) As Byte      ' 5898
    MyMailAddress(0 To 255) As Byte       ' 6154
    MyMailAddressComt(0 To 255) As Byte   ' 6410
    AppendFile(0 To 1023) As Byte         ' 6666
    Log(0 To 255) As Byte                 ' 7690
End Type                                  ' size 7946

' Fields sent as written: a CR or LF would start a line of its own, and the
' library refuses them (-30).
Private Const ON_WIRE As String = "|UserName|Password|Address|Cc|Bcc|sReply_To|Boundary|X_MailerName|MyHostFQDNName|MyMailAddress|AppendFile|"
Private Const LCID_JAPANESE As Long = 1041   ' StrConv converts with code page 932

#If VBA7 Then
    #If Win64 Then
        ' 64-bit Office: the x64 DLL, plain names.
        Private Declare PtrSafe Function Tarnlet1 Lib "tarnlet.dll" (ByRef body As Byte, ByRef settings As MailSettings) As Long
        Private Declare PtrSafe Function Tarnlet2 Lib "tarnlet.dll" (ByRef body As Byte, ByVal iniPath As LongPtr) As Long
    #Else
        ' 32-bit Office: the x86 DLL, stdcall with decorated names.
        Private Declare PtrSafe Function Tarnlet1 Lib "tarnlet.dll" Alias "_Tarnlet1@8" (ByRef body As Byte, ByRef settings As MailSettings) As Long
        Private Declare PtrSafe Function Tarnlet2 Lib "tarnlet.dll" Alias "_Tarnlet2@8" (ByRef body As Byte, ByVal iniPath As LongPtr) As Long
    #End If
    Private Declare PtrSafe Function LoadLibraryW Lib "kernel32" (ByVal path As LongPtr) As LongPtr
    Private Declare PtrSafe Function GetModuleHandleW Lib "kernel32" (ByVal name As LongPtr) As LongPtr
    Private Declare PtrSafe Sub RtlMoveMemory Lib "kernel32" (ByVal destination As LongPtr, ByVal source As LongPtr, ByVal length As LongPtr)
#Else
    ' VB6 and older VBA: always 32-bit.
    Private Declare Function Tarnlet1 Lib "tarnlet.dll" Alias "_Tarnlet1@8" (ByRef body As Byte, ByRef settings As MailSettings) As Long
    Private Declare Function Tarnlet2 Lib "tarnlet.dll" Alias "_Tarnlet2@8" (ByRef body As Byte, ByVal iniPath As Long) As Long
    Private Declare Function LoadLibraryW Lib "kernel32" (ByVal path As Long) As Long
    Private Declare Function GetModuleHandleW Lib "kernel32" (ByVal name As Long) As Long
    Private Declare Sub RtlMoveMemory Lib "kernel32" (ByVal destination As Long, ByVal source As Long, ByVal length As Long)
#End If

Private tarnletLoaded As Boolean

' Sends one message; returns the library's result code (0: sent). Address
' lists and attachment paths are separated by ";".
Public Function TarnletSend(ByVal Server As String, ByVal Sender As String, ByVal ToList As String, _
        ByVal Subject As String, ByVal Body As String, _
        Optional ByVal CcList As String = "", Optional ByVal BccList As String = "", _
        Optional ByVal SenderName As String = "", Optional ByVal ReplyTo As String = "", _
        Optional ByVal Attachments As String = "", Optional ByVal LogPath As String = "", _
        Optional ByVal Port As Long = 25, Optional ByVal HostName As String = "", _
        Optional ByVal XMailer As String = "", Optional ByVal Boundary As String = "", _
        Optional ByVal Kind As Integer = 0, Optional ByVal UserName As String = "", _
        Optional ByVal Password As String = "", Optional ByVal Pop3Server As String = "", _
        Optional ByVal Pop3Port As Long = 110, Optional ByVal Apop As Boolean = False) As Long
    Dim s As MailSettings
    s.Startup = 1
    s.Kind = Kind
    s.APOP = IIf(Apop, 1, 0)
    s.SMTPPortNo = PortValue(Port)
    s.POP3PortNo = PortValue(Pop3Port)
    If HostName = "" Then HostName = Environ$("COMPUTERNAME")
    If Pop3Server = "" Then Pop3Server = Server
    CheckAttachments Attachments
    TarnletPutText s, "UserName", UserName
    TarnletPutText s, "Password", Password
    TarnletPutText s, "SMTPServerAddress", Server
    TarnletPutText s, "POP3ServerAddress", Pop3Server
    TarnletPutText s, "Address", ToList
    TarnletPutText s, "Cc", CcList
    TarnletPutText s, "Bcc", BccList
    TarnletPutText s, "Subject", Subject
    TarnletPutText s, "sReply_To", ReplyTo
    TarnletPutText s, "Boundary", Boundary
    TarnletPutText s, "X_MailerName", XMailer
    TarnletPutText s, "MyHostFQDNName", HostName
    TarnletPutText s, "MyMailAddress", Sender
    TarnletPutText s, "MyMailAddressComt", SenderName
    TarnletPutText s, "AppendFile", Attachments
    TarnletPutText s, "Log", LogPath
    TarnletSend = TarnletSendRecord(Body, s)
End Function

' Sends with a record the host filled; the body is converted here.
Public Function TarnletSendRecord(ByVal Body As String, ByRef s As MailSettings) As Long
    Dim bodyBytes() As Byte
    bodyBytes = Terminated("body", Body)
    LoadTarnlet
    TarnletSendRecord = Tarnlet1(bodyBytes(0), s)
End Function

' Sends with the settings of an INI file (give its full path).
Public Function TarnletSendIni(ByVal Body As String, ByVal IniPath As String) As Long
    Dim bodyBytes() As Byte, pathBytes() As Byte
    bodyBytes = Terminated("body", Body)
    pathBytes = Terminated("IniPath", IniPath)
    LoadTarnlet
    TarnletSendIni = Tarnlet2(bodyBytes(0), VarPtr(pathBytes(0)))
End Function

' Stores text in the named text field of s, after the checks.
Public Sub TarnletPutText(ByRef s As MailSettings, ByVal Field As String, ByVal Text As String)
    Select Case Field
        Case "UserName": PutText VarPtr(s.UserName(0)), UBound(s.UserName) + 1, Field, Text
        Case "Password": PutText VarPtr(s.Password(0)), UBound(s.Password) + 1, Field, Text
        Case "SMTPServerAddress": PutText VarPtr(s.SMTPServerAddress(0)), UBound(s.SMTPServerAddress) + 1, Field, Text
        Case "POP3ServerAddress": PutText VarPtr(s.POP3ServerAddress(0)), UBound(s.POP3ServerAddress) + 1, Field, Text
        Case "Address": PutText VarPtr(s.Address(0)), UBound(s.Address) + 1, Field, Text
        Case "Cc": PutText VarPtr(s.Cc(0)), UBound(s.Cc) + 1, Field, Text
        Case "Bcc": PutText VarPtr(s.Bcc(0)), UBound(s.Bcc) + 1, Field, Text
        Case "Subject": PutText VarPtr(s.Subject(0)), UBound(s.Subject) + 1, Field, Text
        Case "sReply_To": PutText VarPtr(s.sReply_To(0)), UBound(s.sReply_To) + 1, Field, Text
        Case "Boundary": PutText VarPtr(s.Boundary(0)), UBound(s.Boundary) + 1, Field, Text
        Case "X_MailerName": PutText VarPtr(s.X_MailerName(0)), UBound(s.X_MailerName) + 1, Field, Text
        Case "MyHostFQDNName": PutText VarPtr(s.MyHostFQDNName(0)), UBound(s.MyHostFQDNName) + 1, Field, Text
        Case "MyMailAddress": PutText VarPtr(s.MyMailAddress(0)), UBound(s.MyMailAddress) + 1, Field, Text
        Case "MyMailAddressComt": PutText VarPtr(s.MyMailAddressComt(0)), UBound(s.MyMailAddressComt) + 1, Field, Text
        Case "AppendFile": PutText VarPtr(s.AppendFile(0)), UBound(s.AppendFile) + 1, Field, Text
        Case "Log": PutText VarPtr(s.Log(0)), UBound(s.Log) + 1, Field, Text
        Case Else: Err.Raise 5, "Tarnlet", "not a text field of MailSettings: " & Field
    End Select
End Sub

#If VBA7 Then
Private Sub PutText(ByVal destination As LongPtr, ByVal width As Long, ByVal Field As String, ByVal Text As String)
#Else
Private Sub PutText(ByVal destination As Long, ByVal width As Long, ByVal Field As String, ByVal Text As String)
#End If
    Dim bytes() As Byte, value() As Byte, length As Long, i As Long
    bytes = ShiftJis(Field, Text)
    length = UBound(bytes) + 1                  ' LenB of the Shift-JIS form
    If length > width - 1 Then
        RaiseField Field, length & " bytes in Shift-JIS, at most " & (width - 1) & " fit"
    End If
    If InStr(ON_WIRE, "|" & Field & "|") > 0 And (InStr(Text, vbCr) > 0 Or InStr(Text, vbLf) > 0) Then
        RaiseField Field, "a CR or LF is not allowed here"
    End If
    ReDim value(0 To width - 1)                 ' zero-filled: the NUL is there
    For i = 0 To length - 1
        value(i) = bytes(i)
    Next
    RtlMoveMemory destination, VarPtr(value(0)), width
End Sub

' Each attachment must be readable before the call, so a missing file is
' refused before anything is sent.
Private Sub CheckAttachments(ByVal Attachments As String)
    Dim entry As Variant
    Dim path As String
    For Each entry In Split(Attachments, ";")
        ' The library drops the spaces around each path, as Trim$ does.
        path = Trim$(entry)
        If path <> "" Then
            If Not Readable(path) Then RaiseField "AppendFile", """" & path & """ cannot be read"
        End If
    Next
End Sub

Private Function Readable(ByVal path As String) As Boolean
    Dim unit As Integer
    On Error GoTo NotReadable
    unit = FreeFile
    Open path For Binary Access Read Shared As #unit
    Close #unit
    Readable = True
    Exit Function
NotReadable:
    Readable = False
End Function

' Characters Unicode spells in two ways: the JIS-derived tables use the first,
' code page 932 the second, for the same code; the tarnlet command and the
' other bindings send both as that code.
Private Function Cp932Spellings(ByVal Text As String) As String
    Dim jis As Variant, cp932 As Variant, i As Long
    jis = Array(&H301C, &H2016, &H2212, &HA2, &HA3, &HAC, &H2014)
    cp932 = Array(&HFF5E, &H2225, &HFF0D, &HFFE0, &HFFE1, &HFFE2, &H2015)
    For i = 0 To UBound(jis)
        Text = Replace(Text, ChrW(jis(i)), ChrW(cp932(i)))
    Next
    Cp932Spellings = Text
End Function

' text in Shift-JIS. StrConv alone would put "?" for a character code page
' 932 lacks, or a look-alike: what does not convert back unchanged is refused.
Private Function ShiftJis(ByVal Field As String, ByVal Text As String) As Byte()
    Dim bytes() As Byte, back As String, i As Long
    If InStr(Text, vbNullChar) > 0 Then
        RaiseField Field, "a NUL character at position " & InStr(Text, vbNullChar) & " would end the value"
    End If
    Text = Cp932Spellings(Text)
    ' Windows maps these to lone bytes that hold no JIS character.
    For i = 1 To Len(Text)
        Select Case AscW(Mid$(Text, i, 1)) And &HFFFF&
            Case &H80, &HF8F0& To &HF8F3&
                RaiseField Field, "the character U+" & Right$("000" & Hex$(AscW(Mid$(Text, i, 1)) And &HFFFF&), 4) & _
                    " at position " & i & " has no Shift-JIS (code page 932) form"
        End Select
    Next
    bytes = StrConv(Text, vbFromUnicode, LCID_JAPANESE)
    back = StrConv(bytes, vbUnicode, LCID_JAPANESE)
    If back <> Text Then
        For i = 1 To Len(Text)
            If Mid$(back, i, 1) <> Mid$(Text, i, 1) Then Exit For
        Next
        RaiseField Field, "the character U+" & Right$("000" & Hex$(AscW(Mid$(Text, i, 1)) And &HFFFF&), 4) & _
            " at position " & i & " has no Shift-JIS (code page 932) form"
    End If
    ShiftJis = bytes
End Function

Private Function Terminated(ByVal Field As String, ByVal Text As String) As Byte()
    Dim bytes() As Byte, length As Long
    bytes = ShiftJis(Field, Text)
    length = UBound(bytes) + 1
    ReDim Preserve bytes(0 To length)
    bytes(length) = 0
    Terminated = bytes
End Function

Private Function PortValue(ByVal port As Long) As Integer
    If port < 0 Or port > 65535 Then Err.Raise 5, "Tarnlet", "not a port number: " & port
    If port > 32767 Then PortValue = port - 65536 Else PortValue = port
End Function

Private Sub RaiseField(ByVal Field As String, ByVal message As String)
    Err.Raise TARNLET_FIELD_ERROR, "Tarnlet", Field & ": " & message
End Sub

' Declare looks for tarnlet.dll on the DLL search path only, which does not
' hold the workbook's folder: a DLL found there is loaded by its full path
' first, and the Declares then bind to it.
Private Sub LoadTarnlet()
    Dim folder As String
    If tarnletLoaded Then Exit Sub
    If GetModuleHandleW(StrPtr("tarnlet.dll")) = 0 Then
        folder = TarnletFolder
        If folder = "" Then folder = HostFolder()
        If folder <> "" Then
            ' Beside the workbook, or in the bundle's folder for this Office.
            If Not TryLoad(folder & "\tarnlet.dll") Then
#If Win64 Then
                TryLoad folder & "\x64\tarnlet.dll"
#Else
                TryLoad folder & "\x86\tarnlet.dll"
#End If
            End If
        End If
    End If
    tarnletLoaded = True
End Sub

' True when the DLL at path is loaded; false when there is none.
Private Function TryLoad(ByVal path As String) As Boolean
    Dim lastError As Long
    If LoadLibraryW(StrPtr(path)) <> 0 Then TryLoad = True: Exit Function
    lastError = Err.LastDllError
    ' 2, 3, 126: not there; the search path may still hold it.
    If lastError <> 2 And lastError <> 3 And lastError <> 126 Then
        Err.Raise TARNLET_LOAD_ERROR, "Tarnlet", path & " cannot be loaded (error " & lastError & _
            "; 193: a 32-bit DLL in a 64-bit process or the reverse)"
    End If
End Function

Private Function HostFolder() As String
#If VBA6 Or VBA7 Then
    Dim host As Object
    On Error Resume Next
    Set host = Application
    HostFolder = host.ThisWorkbook.Path                        ' Excel
    If HostFolder = "" Then HostFolder = host.CurrentProject.Path  ' Access
    If HostFolder = "" Then HostFolder = host.MacroContainer.Path  ' Word
    On Error GoTo 0
#Else
    HostFolder = App.Path
#End If
End Function
