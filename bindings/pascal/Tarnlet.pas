{ Sends one mail message per call through the Tarnlet library, from Delphi
  (2009 and later) and Free Pascal in Delphi mode.

    var S: TMailSettings;
    FillChar(S, SizeOf(S), 0);
    S.Startup := 1; S.SMTPPortNo := 25; S.POP3PortNo := 110;
    SetText(S.SMTPServerAddress, 'SMTPServerAddress', 'smtp.example.jp');
    ...
    Result := SendMail(Body, S);

  Delphi's Char is two bytes: the record's text fields are AnsiChar arrays
  holding Shift-JIS (code page 932), which SetText converts here, whatever the
  system's ANSI code page. A value longer than its field, a character code
  page 932 cannot hold, or a CR/LF where the library refuses one raises
  ETarnletField naming the field, before anything is sent; so does, in
  SendMail, an attachment that cannot be read. }
unit Tarnlet;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}
{$IF DEFINED(WIN32) AND NOT DEFINED(WIN64)}{$DEFINE TARNLET_X86}{$IFEND}

interface

uses
  {$IFDEF FPC}{$IFDEF UNIX}cwstring,{$ENDIF}{$ENDIF} SysUtils;

type
  { The settings record, byte for byte (7946 bytes). }
  TMailSettings = packed record
    Startup: SmallInt;                              { offset 0 }
    Kind: SmallInt;                                 { 2 }
    APOP: SmallInt;                                 { 4 }
    UserName: array[0..255] of AnsiChar;            { 6 }
    Password: array[0..255] of AnsiChar;            { 262 }
    SMTPPortNo: Word;                               { 518 }
    POP3PortNo: Word;                               { 520 }
    SMTPServerAddress: array[0..255] of AnsiChar;   { 522 }
    POP3ServerAddress: array[0..255] of AnsiChar;   { 778 }
    Address: array[0..1023] of AnsiChar;            { 1034 }
    Cc: array[0..1023] of AnsiChar;                 { 2058 }
    Bcc: array[0..1023] of AnsiChar;                { 3082 }
    Subject: array[0..255] of AnsiChar;             { 4106 }
    sReply_To: array[0..1023] of AnsiChar;          { 4362 }
    Boundary: array[0..255] of AnsiChar;            { 5386 }
    X_MailerName: array[0..255] of AnsiChar;        { 5642 }
    MyHostFQDNName: array[0..255] of AnsiChar;      { 5898 }
    MyMailAddress: array[0..255] of AnsiChar;       { 6154 }
    MyMailAddressComt: array[0..255] of AnsiChar;   { 6410 }
    AppendFile: array[0..1023] of AnsiChar;         { 6666 }
    Log: array[0..255] of AnsiChar;                 { 7690 }
  end;

  { A value that cannot go into its field as given. Reason: 'width', 'sjis',
    'crlf' or 'nul'; Limit: the most bytes that fit, -1 when not a width. }
  ETarnletField = class(Exception)
  public
    FieldName: string;
    Reason: string;
    Limit: Integer;
    constructor Create(const AFieldName, AReason, AMessage: string; ALimit: Integer = -1);
  end;

  TShiftJisString = type AnsiString(932);

const
  TarnletSettingsSize = 7946;
  {$IFDEF MSWINDOWS}
  TarnletLibrary = 'tarnlet.dll';
  {$ELSE}
  TarnletLibrary = 'libtarnlet.so';
  {$ENDIF}
  { Fields sent as written: a CR or LF would start a line of its own, and the
    library refuses them (-30). }
  OnWireFields = '|UserName|Password|Address|Cc|Bcc|sReply_To|Boundary|X_MailerName|MyHostFQDNName|MyMailAddress|AppendFile|';

{ The exports: on Win32 stdcall with decorated names, elsewhere the
  platform's C convention. Body and IniPath: NUL-terminated Shift-JIS. }
{$IFDEF TARNLET_X86}
function Tarnlet1(Body: PAnsiChar; var Settings: TMailSettings): LongInt; stdcall;
  external TarnletLibrary name '_Tarnlet1@8';
function Tarnlet2(Body, IniPath: PAnsiChar): LongInt; stdcall;
  external TarnletLibrary name '_Tarnlet2@8';
{$ELSE}
function Tarnlet1(Body: PAnsiChar; var Settings: TMailSettings): LongInt; cdecl;
  external TarnletLibrary name 'Tarnlet1';
function Tarnlet2(Body, IniPath: PAnsiChar): LongInt; cdecl;
  external TarnletLibrary name 'Tarnlet2';
{$ENDIF}

{ Text in Shift-JIS; ETarnletField for a character code page 932 lacks or a NUL. }
function ToShiftJis(const FieldName: string; const Typed: UnicodeString): RawByteString;
{ Stores Text in Field (a text field of the record) after every check. }
procedure SetText(var Field: array of AnsiChar; const FieldName: string; const Text: UnicodeString);
{ Converts Body and calls Tarnlet1; returns the result code (0: sent). }
function SendMail(const Body: UnicodeString; var Settings: TMailSettings): LongInt;

implementation

constructor ETarnletField.Create(const AFieldName, AReason, AMessage: string; ALimit: Integer);
begin
  inherited Create(AFieldName + ': ' + AMessage);
  FieldName := AFieldName;
  Reason := AReason;
  Limit := ALimit;
end;

{ The conversion puts '?' or a look-alike for a character code page 932
  lacks: what does not convert back unchanged is refused. }
function ToShiftJis(const FieldName: string; const Typed: UnicodeString): RawByteString;
const
  { Characters Unicode spells in two ways: the JIS-derived tables use the
    first, code page 932 the second, for the same code; the tarnlet command
    and the other bindings send both as that code. }
  JisSpellings: array[0..6] of Word = ($301C, $2016, $2212, $00A2, $00A3, $00AC, $2014);
  Cp932Spellings: array[0..6] of Word = ($FF5E, $2225, $FF0D, $FFE0, $FFE1, $FFE2, $2015);
var
  Converted: TShiftJisString;
  Back, Text: UnicodeString;
  I, J: Integer;
begin
  if Pos(WideChar(#0), Typed) > 0 then
    raise ETarnletField.Create(FieldName, 'nul', 'a NUL character would end the value');
  Text := Typed;
  for I := 1 to Length(Text) do
  begin
    { Windows maps these to lone bytes that hold no JIS character. }
    if (Ord(Text[I]) = $80) or ((Ord(Text[I]) >= $F8F0) and (Ord(Text[I]) <= $F8F3)) then
      raise ETarnletField.Create(FieldName, 'sjis', Format(
        'the character U+%.4X at position %d has no Shift-JIS (code page 932) form', [Ord(Text[I]), I]));
    for J := Low(JisSpellings) to High(JisSpellings) do
      if Ord(Text[I]) = JisSpellings[J] then
        Text[I] := WideChar(Cp932Spellings[J]);
  end;
  Converted := TShiftJisString(Text);
  Back := UnicodeString(Converted);
  if Back <> Text then
  begin
    I := 1;
    while (I <= Length(Text)) and (I <= Length(Back)) and (Text[I] = Back[I]) do
      Inc(I);
    raise ETarnletField.Create(FieldName, 'sjis', Format(
      'the character U+%.4X at position %d has no Shift-JIS (code page 932) form',
      [Ord(Text[I]), I]));
  end;
  Result := RawByteString(Converted);
end;

procedure SetText(var Field: array of AnsiChar; const FieldName: string; const Text: UnicodeString);
var
  Bytes: RawByteString;
  Limit: Integer;
begin
  Bytes := ToShiftJis(FieldName, Text);
  Limit := Length(Field) - 1;
  if Length(Bytes) > Limit then
    raise ETarnletField.Create(FieldName, 'width', Format('%d bytes in Shift-JIS, at most %d fit',
      [Length(Bytes), Limit]), Limit);
  if (Pos('|' + FieldName + '|', OnWireFields) > 0) and
     ((Pos(WideChar(#13), Text) > 0) or (Pos(WideChar(#10), Text) > 0)) then
    raise ETarnletField.Create(FieldName, 'crlf', 'a CR or LF is not allowed here');
  FillChar(Field[0], Length(Field), 0);
  if Length(Bytes) > 0 then
    Move(Bytes[1], Field[0], Length(Bytes));
end;

{ An entry of the attachment list without the spaces around it, as the
  library reads it; spaces inside a path stay. }
function WithoutOuterSpaces(const Entry: RawByteString): RawByteString;
var
  First, Last: Integer;
begin
  First := 1;
  Last := Length(Entry);
  while (First <= Last) and (Entry[First] = ' ') do
    Inc(First);
  while (Last >= First) and (Entry[Last] = ' ') do
    Dec(Last);
  Result := Copy(Entry, First, Last - First + 1);
end;

{ Each attachment of the record must be readable before the call, so a
  missing file is refused before anything is sent. The library splits the
  list at ';' and drops the spaces around each path. }
procedure CheckAttachments(const Settings: TMailSettings);
var
  List, Entry: RawByteString;
  Cut, Handle: THandle;
begin
  List := PAnsiChar(@Settings.AppendFile[0]);
  while List <> '' do
  begin
    Cut := Pos(';', List);
    if Cut = 0 then
      Cut := Length(List) + 1;
    Entry := WithoutOuterSpaces(Copy(List, 1, Cut - 1));
    Delete(List, 1, Cut);
    if Entry = '' then
      Continue;
    Handle := FileOpen(Entry, fmOpenRead or fmShareDenyNone);
    if Handle = THandle(-1) then
      raise ETarnletField.Create('AppendFile', 'unreadable', '"' + string(Entry) + '" cannot be read');
    FileClose(Handle);
  end;
end;

function SendMail(const Body: UnicodeString; var Settings: TMailSettings): LongInt;
var
  Bytes: RawByteString;
begin
  CheckAttachments(Settings);
  Bytes := ToShiftJis('body', Body);
  Result := Tarnlet1(PAnsiChar(Bytes), Settings);
end;

end.
