// Runs the shared binding cases through Tarnlet.cs and prints one line per
// case for binding_cases_test.py to judge; first the record's layout as the
// marshaller sees it, then the text of the shared Shift-JIS table as the
// binding converts it, the result codes' meanings and the words of the
// authentication kinds. A failed case also gives its exception's meaning and
// the first line of its message.
//   mono BindingCases.exe CASES.tsv PORT FILES SHIFT_JIS.tsv
using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;
using Tarnlet;

static class BindingCases
{
    static string files;

    static string Unescape(string text)
    {
        var s = new StringBuilder();
        for (int i = 0; i < text.Length; i++)
        {
            if (text[i] != '\\' || i + 1 == text.Length) { s.Append(text[i]); continue; }
            char c = text[++i];
            s.Append(c == 'r' ? "\r" : c == 'n' ? "\n" : c == 'e' ? "\x1b" : c == '0' ? "\0" : c.ToString());
        }
        return s.ToString();
    }

    static MailMessage BaseMessage(int port)
    {
        var m = new MailMessage
        {
            Server = "127.0.0.1", Port = port, Sender = "sender@example.jp",
            HostName = "client.example.jp",
        };
        m.To.Add("yamada@example.jp");
        return m;
    }

    // Applies one "set" row; a field named for the first time starts empty.
    static void Set(MailMessage m, HashSet<string> touched, string field, int count, string value)
    {
        bool first = touched.Add(field);
        value = value.Replace("{files}", files);
        var pieces = new List<string>();
        for (int i = 1; i <= count; i++) pieces.Add(value.Replace("{i}", i.ToString("00")));
        List<string> list = field == "Address" ? m.To : field == "Cc" ? m.Cc : field == "Bcc" ? m.Bcc
            : field == "AppendFile" ? m.Attachments : null;
        if (list != null)
        {
            if (first) list.Clear();
            list.AddRange(pieces);
            return;
        }
        string text = string.Concat(pieces.ToArray());
        switch (field)
        {
            case "body": m.Body = (first ? "" : m.Body) + text; break;
            case "Subject": m.Subject = (first ? "" : m.Subject) + text; break;
            case "MyMailAddressComt": m.SenderName = (first ? "" : m.SenderName) + text; break;
            case "X_MailerName": m.XMailer = (first ? "" : m.XMailer) + text; break;
            case "SMTPPortNo": m.Port = int.Parse(text); break;
            case "Kind": m.AuthName = text; break;
            case "Boundary": m.Boundary = text; break;
            default: throw new ArgumentException("no mapping for " + field);
        }
    }

    static string Outcome(MailMessage m)
    {
        try
        {
            m.Send();
            return "sent";
        }
        catch (TarnletFieldException e)
        {
            return "refused\t" + e.Field + "\t" + e.Reason + "\t" + (e.Limit.HasValue ? e.Limit.ToString() : "-");
        }
        catch (TarnletException e)
        {
            return "failed\t" + e.Code + "\t" + string.Join("\x1f", new List<string>(e.LogLines).ToArray()) +
                "\t" + e.Meaning + "\t" + e.Message.Split('\n')[0];
        }
    }

    static int Main(string[] args)
    {
        Console.OutputEncoding = new UTF8Encoding(false);
        Console.WriteLine("size\t" + Marshal.SizeOf(typeof(MailSettings)));
        foreach (var field in typeof(MailSettings).GetFields())
        {
            if (field.IsStatic) continue;
            Console.WriteLine("offset\t" + field.Name + "\t" + Marshal.OffsetOf(typeof(MailSettings), field.Name));
        }
        int port = int.Parse(args[1]);
        files = args[2];
        foreach (string line in File.ReadAllLines(args[3], Encoding.UTF8))
        {
            if (line.Length == 0 || line[0] == '#') continue;
            string[] c = line.Split('\t');
            var text = new StringBuilder();
            foreach (string point in c[0].Split(' ')) text.Append(char.ConvertFromUtf32(Convert.ToInt32(point, 16)));
            string got;
            try { got = BitConverter.ToString(ShiftJis.Encode("Subject", text.ToString())).Replace("-", ""); }
            catch (TarnletFieldException e) { got = e.Reason == "sjis" ? "-" : e.Reason; }
            Console.WriteLine("sjis\t" + c[2] + "\t" + got);
        }
        foreach (int code in ResultCodes.Codes)
            Console.WriteLine("meaning\t" + code + "\t" + ResultCodes.Meaning(code));
        foreach (string word in AuthNames.Words)
        {
            AuthKind kind = AuthNames.Parse(word);
            // Each kind's own word reads back as that kind.
            if (AuthNames.Parse(AuthNames.Word(kind)) != kind) throw new InvalidOperationException(word);
            Console.WriteLine("auth\t" + word + "\t" + (short)kind);
        }
        var order = new List<string>();
        var messages = new Dictionary<string, MailMessage>();
        var touched = new Dictionary<string, HashSet<string>>();
        foreach (string line in File.ReadAllLines(args[0], Encoding.UTF8))
        {
            if (line.Length == 0 || line[0] == '#') continue;
            string[] c = line.Split('\t');
            if (!messages.ContainsKey(c[1]))
            {
                order.Add(c[1]);
                messages[c[1]] = BaseMessage(port);
                touched[c[1]] = new HashSet<string>();
            }
            if (c[0] == "set") Set(messages[c[1]], touched[c[1]], c[2], int.Parse(c[3]), Unescape(c[4]));
        }
        foreach (string name in order) Console.WriteLine("case\t" + name + "\t" + Outcome(messages[name]));
        return 0;
    }
}
