{ Prints the record's layout as the compiler lays it out, the result of a call
  with an empty record, and how SetText answers the shared cases it can run
  without a server; binding_cases_test.py compares them. }
program pascal_layout;

{$MODE DELPHI}

uses
  SysUtils, Tarnlet;

var
  S: TMailSettings;
  Code: LongInt;

procedure Offset(const Name: string; var Field);
begin
  WriteLn('offset ', Name, ' ', PtrUInt(@Field) - PtrUInt(@S));
end;

function Repeated(const Piece: UnicodeString; Count: Integer): UnicodeString;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Count do
    Result := Result + Piece;
end;

procedure Check(const CaseName: string; var Field: array of AnsiChar; const FieldName: string;
  const Text: UnicodeString);
begin
  try
    SetText(Field, FieldName, Text);
    WriteLn('check ', CaseName, ' fits');
  except
    on E: ETarnletField do
      if E.Limit >= 0 then
        WriteLn('check ', CaseName, ' ', E.FieldName, ' ', E.Reason, ' ', E.Limit)
      else
        WriteLn('check ', CaseName, ' ', E.FieldName, ' ', E.Reason);
  end;
end;

const
  Kanji = WideChar($6F22);

begin
  FillChar(S, SizeOf(S), 0);
  WriteLn('size ', SizeOf(TMailSettings));
  Offset('Startup', S.Startup);
  Offset('Kind', S.Kind);
  Offset('APOP', S.APOP);
  Offset('UserName', S.UserName);
  Offset('Password', S.Password);
  Offset('SMTPPortNo', S.SMTPPortNo);
  Offset('POP3PortNo', S.POP3PortNo);
  Offset('SMTPServerAddress', S.SMTPServerAddress);
  Offset('POP3ServerAddress', S.POP3ServerAddress);
  Offset('Address', S.Address);
  Offset('Cc', S.Cc);
  Offset('Bcc', S.Bcc);
  Offset('Subject', S.Subject);
  Offset('sReply_To', S.sReply_To);
  Offset('Boundary', S.Boundary);
  Offset('X_MailerName', S.X_MailerName);
  Offset('MyHostFQDNName', S.MyHostFQDNName);
  Offset('MyMailAddress', S.MyMailAddress);
  Offset('MyMailAddressComt', S.MyMailAddressComt);
  Offset('AppendFile', S.AppendFile);
  Offset('Log', S.Log);
  WriteLn('check empty_record ', SendMail('', S));
  Check('subject_128_kanji', S.Subject, 'Subject', Repeated(Kanji, 128));
  Check('emoji', S.Subject, 'Subject', Kanji + WideChar($D83D) + WideChar($DE00));
  Check('mailer_crlf', S.X_MailerName, 'X_MailerName', 'x'#13#10'Bcc: victim@example.jp');
  Check('subject_full', S.Subject, 'Subject', Repeated(Kanji, 127) + 'a');
  Check('wave_dash', S.MyMailAddressComt, 'MyMailAddressComt', Kanji + WideChar($301C));
  SetText(S.Address, 'Address', 'to@example.jp');
  SetText(S.AppendFile, 'AppendFile', UnicodeString(ParamStr(1) + ';' + ParamStr(1) + '.missing'));
  try
    Code := SendMail('', S);
    WriteLn('check missing_attachment sent ', Code);
  except
    on E: ETarnletField do
      WriteLn('check missing_attachment ', E.FieldName, ' ', E.Reason);
  end;
end.
