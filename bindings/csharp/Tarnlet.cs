// Sends one mail message per call through the Tarnlet library.
//
//   var message = new Tarnlet.MailMessage {
//       Server = "smtp.example.jp", Sender = "sender@example.jp", Subject = "月次報告",
//       Body = "山田様\r\n報告書を送ります。\r\n" };
//   message.To.Add("yamada@example.jp");
//   message.Send();   // throws TarnletException with the code and the log lines
//
// Text is converted to Shift-JIS (code page 932) here, whatever the process's
// ANSI code page: a character that code page 932 cannot hold, or a value longer
// than its field, throws TarnletFieldException before anything is sent.
// On .NET Core and later, reference System.Text.Encoding.CodePages; the
// binding registers its provider. Hosts that fill the record themselves use
// MailSettings.Create, MailSettings.SetText and Native.Tarnlet1.
using System;
using System.Collections.Generic;
using System.IO;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;

namespace Tarnlet
{
    // The settings record, byte for byte (7946 bytes). Text fields hold
    // NUL-terminated Shift-JIS; MailSettings.Create allocates them.
    [StructLayout(LayoutKind.Sequential, Pack = 1)]
    public struct MailSettings
    {
        public short Startup;
        public short Kind;
        public short APOP;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] UserName;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] Password;
        public ushort SMTPPortNo;
        public ushort POP3PortNo;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] SMTPServerAddress;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] POP3ServerAddress;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 1024)] public byte[] Address;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 1024)] public byte[] Cc;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 1024)] public byte[] Bcc;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] Subject;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 1024)] public byte[] sReply_To;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] Boundary;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] X_MailerName;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] MyHostFQDNName;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] MyMailAddress;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] MyMailAddressComt;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 1024)] public byte[] AppendFile;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] Log;

        public const int Size = 7946;

        // Fields sent as written: a CR or LF would start a line of its own,
        // and the library refuses them (-30).
        public static readonly string[] OnWire = {
            "UserName", "Password", "Address", "Cc", "Bcc", "sReply_To", "Boundary",
            "X_MailerName", "MyHostFQDNName", "MyMailAddress", "AppendFile" };

        // A record with every text field empty. Each array gets exactly the
        // width the marshaller gives its field: a longer one would be cut.
        public static MailSettings Create()
        {
            object record = new MailSettings();
            foreach (FieldInfo field in typeof(MailSettings).GetFields())
            {
                if (field.FieldType == typeof(byte[])) field.SetValue(record, new byte[Width(field.Name)]);
            }
            return (MailSettings)record;
        }

        // The width of a text field in bytes, its NUL included.
        public static int Width(string field)
        {
            FieldInfo[] fields = typeof(MailSettings).GetFields(BindingFlags.Public | BindingFlags.Instance);
            for (int i = 0; i < fields.Length; i++)
            {
                if (fields[i].Name != field) continue;
                int start = Marshal.OffsetOf(typeof(MailSettings), field).ToInt32();
                int end = i + 1 < fields.Length
                    ? Marshal.OffsetOf(typeof(MailSettings), fields[i + 1].Name).ToInt32()
                    : Marshal.SizeOf(typeof(MailSettings));
                return end - start;
            }
            throw new ArgumentException("no such field: " + field);
        }

        // Stores text in the named text field after every check the library
        // would make, and those it cannot make (width, code page 932, NUL).
        public void SetText(string field, string text)
        {
            FieldInfo info = typeof(MailSettings).GetField(field);
            if (info == null || info.FieldType != typeof(byte[]))
                throw new ArgumentException("not a text field: " + field);
            byte[] bytes = ShiftJis.Encode(field, text);
            int limit = Width(field) - 1;
            if (bytes.Length > limit)
                throw new TarnletFieldException(field, "width",
                    bytes.Length + " bytes in Shift-JIS, at most " + limit + " fit", limit);
            if (Array.IndexOf(OnWire, field) >= 0 && (Array.IndexOf(bytes, (byte)'\r') >= 0 || Array.IndexOf(bytes, (byte)'\n') >= 0))
                throw new TarnletFieldException(field, "crlf", "a CR or LF is not allowed here", null);
            byte[] value = new byte[limit + 1];
            Array.Copy(bytes, value, bytes.Length);
            object record = this;
            info.SetValue(record, value);
            this = (MailSettings)record;
        }
    }

    // The exports. The x86 DLL is stdcall with decorated names; the x64 DLL
    // and the Linux library use the platform's one C convention.
    public static class Native
    {
        const string Library = "tarnlet";

        [DllImport(Library, EntryPoint = "_Tarnlet1@8", CallingConvention = CallingConvention.StdCall)]
        static extern int Tarnlet1X86(byte[] body, ref MailSettings settings);
        [DllImport(Library, EntryPoint = "_Tarnlet2@8", CallingConvention = CallingConvention.StdCall)]
        static extern int Tarnlet2X86(byte[] body, byte[] iniPath);
        [DllImport(Library, EntryPoint = "Tarnlet1", CallingConvention = CallingConvention.Cdecl)]
        static extern int Tarnlet1Plain(byte[] body, ref MailSettings settings);
        [DllImport(Library, EntryPoint = "Tarnlet2", CallingConvention = CallingConvention.Cdecl)]
        static extern int Tarnlet2Plain(byte[] body, byte[] iniPath);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        static extern IntPtr LoadLibraryW(string path);

        static readonly bool Windows = Environment.OSVersion.Platform == PlatformID.Win32NT;
        static readonly bool Decorated = Windows && IntPtr.Size == 4;
        static bool located;

        // The Windows bundle keeps the two DLLs in x86 and x64 folders: a DLL
        // there, beside the program, is loaded first, and the imports bind to it.
        static void Locate()
        {
            if (located) return;
            located = true;
            if (!Windows) return;
            string folder = AppDomain.CurrentDomain.BaseDirectory;
            if (File.Exists(Path.Combine(folder, "tarnlet.dll"))) return;
            string dll = Path.Combine(Path.Combine(folder, IntPtr.Size == 4 ? "x86" : "x64"), "tarnlet.dll");
            if (File.Exists(dll) && LoadLibraryW(dll) == IntPtr.Zero)
                throw new DllNotFoundException(dll + " cannot be loaded (error " + Marshal.GetLastWin32Error() + ")");
        }

        // body and iniPath: NUL-terminated Shift-JIS (ShiftJis.Terminated).
        public static int Tarnlet1(byte[] body, ref MailSettings settings)
        {
            if (Marshal.SizeOf(typeof(MailSettings)) != MailSettings.Size)
                throw new InvalidOperationException("MailSettings is not 7946 bytes");
            Locate();
            return Decorated ? Tarnlet1X86(body, ref settings) : Tarnlet1Plain(body, ref settings);
        }

        public static int Tarnlet2(byte[] body, byte[] iniPath)
        {
            Locate();
            return Decorated ? Tarnlet2X86(body, iniPath) : Tarnlet2Plain(body, iniPath);
        }
    }

    public static class ShiftJis
    {
        static Encoding encoding;

        // Code page 932 that throws for an unmappable character: no best-fit
        // mapping, no '?'.
        static Encoding Strict
        {
            get
            {
                if (encoding != null) return encoding;
                // .NET Core and later keep code page 932 in a provider.
                Type provider = Type.GetType("System.Text.CodePagesEncodingProvider, System.Text.Encoding.CodePages");
                MethodInfo register = typeof(Encoding).GetMethod("RegisterProvider");
                if (provider != null && register != null)
                    register.Invoke(null, new[] { provider.GetProperty("Instance").GetValue(null, null) });
                encoding = Encoding.GetEncoding(932, EncoderFallback.ExceptionFallback, DecoderFallback.ExceptionFallback);
                return encoding;
            }
        }

        // text in Shift-JIS, without a NUL.
        public static byte[] Encode(string field, string text)
        {
            if (text == null) text = "";
            int nul = text.IndexOf('\0');
            if (nul >= 0)
                throw new TarnletFieldException(field, "nul", "a NUL character at position " + nul + " would end the value", null);
            byte[] bytes;
            try
            {
                bytes = Strict.GetBytes(text);
            }
            catch (EncoderFallbackException e)
            {
                throw Unmappable(field, text, e.Index);
            }
            // Some runtimes map a few characters to a look-alike anyway; what
            // does not come back unchanged is refused as well.
            string back = Strict.GetString(bytes);
            if (back != text)
            {
                int i = 0;
                while (i < text.Length && i < back.Length && text[i] == back[i]) i++;
                throw Unmappable(field, text, i);
            }
            return bytes;
        }

        // text in Shift-JIS with the NUL the library expects.
        public static byte[] Terminated(string field, string text)
        {
            byte[] bytes = Encode(field, text);
            Array.Resize(ref bytes, bytes.Length + 1);
            return bytes;
        }

        static TarnletFieldException Unmappable(string field, string text, int index)
        {
            int code = char.ConvertToUtf32(text, index);
            return new TarnletFieldException(field, "sjis", string.Format(
                "'{0}' (U+{1:X4}) at position {2} has no Shift-JIS (code page 932) form",
                char.ConvertFromUtf32(code), code, index), null);
        }

        public static string Decode(byte[] bytes)
        {
            return Encoding.GetEncoding(932).GetString(bytes);
        }
    }

    // A value that cannot go into its field as given. Reason: "width",
    // "sjis", "crlf", "nul" or "separator"; Limit: the most bytes that fit.
    public sealed class TarnletFieldException : ArgumentException
    {
        public string Field { get; private set; }
        public string Reason { get; private set; }
        public int? Limit { get; private set; }

        public TarnletFieldException(string field, string reason, string message, int? limit)
            : base(field + ": " + message, field)
        {
            Field = field;
            Reason = reason;
            Limit = limit;
        }
    }

    // A call the library answered with a negative result code.
    public sealed class TarnletException : Exception
    {
        public int Code { get; private set; }
        public IList<string> LogLines { get; private set; }

        public TarnletException(int code, IList<string> logLines)
            : base("Tarnlet result " + code + (logLines.Count > 0 ? ":\n  " + string.Join("\n  ", logLines) : ""))
        {
            Code = code;
            LogLines = logLines;
        }
    }

    public enum AuthKind : short { None = 0, CramMd5 = 1, PopBeforeSmtp = 2 }

    public sealed class MailMessage
    {
        public string Server { get; set; } = "";
        public int Port { get; set; } = 25;
        public string Sender { get; set; } = "";
        public string SenderName { get; set; } = "";
        public List<string> To { get; } = new List<string>();
        public List<string> Cc { get; } = new List<string>();
        public List<string> Bcc { get; } = new List<string>();
        public string Subject { get; set; } = "";
        public string ReplyTo { get; set; } = "";
        public string Body { get; set; } = "";
        public List<string> Attachments { get; } = new List<string>();
        // Empty: the call's log lines go to a temporary file, read for the
        // exception and deleted.
        public string LogPath { get; set; } = "";
        public string HostName { get; set; } = Environment.MachineName;
        public string XMailer { get; set; } = "";
        public string Boundary { get; set; } = "";
        public AuthKind Auth { get; set; } = AuthKind.None;
        public string UserName { get; set; } = "";
        public string Password { get; set; } = "";
        public string Pop3Server { get; set; } // null: Server
        public int Pop3Port { get; set; } = 110;
        public bool Apop { get; set; }
        public bool StartSockets { get; set; } = true;

        // The record for this message, every field checked.
        public MailSettings ToSettings()
        {
            MailSettings s = MailSettings.Create();
            s.Startup = (short)(StartSockets ? 1 : 0);
            s.Kind = (short)Auth;
            s.APOP = (short)(Apop ? 1 : 0);
            s.SMTPPortNo = checked((ushort)Port);
            s.POP3PortNo = checked((ushort)Pop3Port);
            s.SetText("UserName", UserName);
            s.SetText("Password", Password);
            s.SetText("SMTPServerAddress", Server);
            s.SetText("POP3ServerAddress", Pop3Server ?? Server);
            // The library splits lists at ';' and drops every space: a path
            // with a space could not be attached.
            s.SetText("Address", Join("Address", To, ";"));
            s.SetText("Cc", Join("Cc", Cc, ";"));
            s.SetText("Bcc", Join("Bcc", Bcc, ";"));
            s.SetText("Subject", Subject);
            s.SetText("sReply_To", ReplyTo);
            s.SetText("Boundary", Boundary);
            s.SetText("X_MailerName", XMailer);
            s.SetText("MyHostFQDNName", HostName);
            s.SetText("MyMailAddress", Sender);
            s.SetText("MyMailAddressComt", SenderName);
            s.SetText("AppendFile", Join("AppendFile", Attachments, "; "));
            s.SetText("Log", LogPath);
            return s;
        }

        // Sends the message; returns 0, or throws TarnletException with the
        // result code and the log lines this call wrote.
        public int Send()
        {
            byte[] body = ShiftJis.Terminated("body", Body);
            MailSettings s = ToSettings();
            string log = LogPath;
            bool temporary = log.Length == 0;
            if (temporary)
            {
                log = Path.GetTempFileName();
                try { s.SetText("Log", log); }
                catch (TarnletFieldException) { temporary = false; log = ""; }
            }
            long start = log.Length > 0 && File.Exists(log) ? new FileInfo(log).Length : 0;
            try
            {
                int code = Native.Tarnlet1(body, ref s);
                if (code != 0) throw new TarnletException(code, log.Length > 0 ? NewLines(log, start) : new List<string>());
                return code;
            }
            finally
            {
                if (temporary) File.Delete(log);
            }
        }

        static string Join(string field, List<string> entries, string forbidden)
        {
            foreach (string entry in entries)
            {
                if (entry.IndexOfAny(forbidden.ToCharArray()) >= 0)
                    throw new TarnletFieldException(field, "separator",
                        "'" + entry + "': an entry cannot hold '" + forbidden.Replace(" ", "' or ' ") + "'", null);
            }
            return string.Join(";", entries.ToArray());
        }

        static List<string> NewLines(string path, long start)
        {
            var lines = new List<string>();
            byte[] all;
            try { all = File.ReadAllBytes(path); }
            catch (IOException) { return lines; }
            catch (UnauthorizedAccessException) { return lines; }
            if (start > all.Length) start = 0;
            byte[] fresh = new byte[all.Length - start];
            Array.Copy(all, start, fresh, 0, fresh.Length);
            foreach (string line in ShiftJis.Decode(fresh).Split(new[] { "\r\n", "\n" }, StringSplitOptions.RemoveEmptyEntries))
            {
                if (line.Trim().Length > 0) lines.Add(line);
            }
            return lines;
        }
    }
}
