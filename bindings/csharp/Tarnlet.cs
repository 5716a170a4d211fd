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
            SetBytes(field, ShiftJis.Encode(field, text));
        }

        // Stores bytes (Shift-JIS, or a path as the system spells it) in the
        // named text field after the width and CR/LF checks.
        public void SetBytes(string field, byte[] bytes)
        {
            FieldInfo info = typeof(MailSettings).GetField(field);
            if (info == null || info.FieldType != typeof(byte[]))
                throw new ArgumentException("not a text field: " + field);
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

        public static readonly bool IsWindows = Environment.OSVersion.Platform == PlatformID.Win32NT;
        static readonly bool Decorated = IsWindows && IntPtr.Size == 4;
        static bool located;

        // The Windows bundle keeps the two DLLs in x86 and x64 folders: a DLL
        // there, beside the program, is loaded first, and the imports bind to it.
        static void Locate()
        {
            if (located) return;
            located = true;
            if (!IsWindows) return;
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

    // Text to Shift-JIS as Windows and the tarnlet command write it, on every
    // runtime: the runtimes' own code page 932 encoders differ (Mono's lacks
    // the IBM extension and the user-defined area and prefers the NEC row to
    // JIS X 0208), so the binding keeps its own table.
    public static class ShiftJis
    {
        static Encoding encoding;
        static Dictionary<char, ushort> codes;

        // Characters Unicode spells in two ways: the JIS-derived tables use
        // the first, code page 932 the second, for the same code.
        const string JisSpellings = "\u301C\u2016\u2212\u00A2\u00A3\u00AC\u2014";
        const string Cp932Spellings = "\uFF5E\u2225\uFF0D\uFFE0\uFFE1\uFFE2\u2015";

        // The IBM extension, 0xFA40 to 0xFC4B in code order. Its NEC-selected
        // copy (lead bytes 0xED, 0xEE) holds the same characters and is never
        // written.
        const string IbmExtension =
            "\u2170\u2171\u2172\u2173\u2174\u2175\u2176\u2177\u2178\u2179\u2160\u2161\u2162\u2163\u2164\u2165" +
            "\u2166\u2167\u2168\u2169\uFFE2\uFFE4\uFF07\uFF02\u3231\u2116\u2121\u2235\u7E8A\u891C\u9348\u9288" +
            "\u84DC\u4FC9\u70BB\u6631\u68C8\u92F9\u66FB\u5F45\u4E28\u4EE1\u4EFC\u4F00\u4F03\u4F39\u4F56\u4F92" +
            "\u4F8A\u4F9A\u4F94\u4FCD\u5040\u5022\u4FFF\u501E\u5046\u5070\u5042\u5094\u50F4\u50D8\u514A\u5164" +
            "\u519D\u51BE\u51EC\u5215\u529C\u52A6\u52C0\u52DB\u5300\u5307\u5324\u5372\u5393\u53B2\u53DD\uFA0E" +
            "\u549C\u548A\u54A9\u54FF\u5586\u5759\u5765\u57AC\u57C8\u57C7\uFA0F\uFA10\u589E\u58B2\u590B\u5953" +
            "\u595B\u595D\u5963\u59A4\u59BA\u5B56\u5BC0\u752F\u5BD8\u5BEC\u5C1E\u5CA6\u5CBA\u5CF5\u5D27\u5D53" +
            "\uFA11\u5D42\u5D6D\u5DB8\u5DB9\u5DD0\u5F21\u5F34\u5F67\u5FB7\u5FDE\u605D\u6085\u608A\u60DE\u60D5" +
            "\u6120\u60F2\u6111\u6137\u6130\u6198\u6213\u62A6\u63F5\u6460\u649D\u64CE\u654E\u6600\u6615\u663B" +
            "\u6609\u662E\u661E\u6624\u6665\u6657\u6659\uFA12\u6673\u6699\u66A0\u66B2\u66BF\u66FA\u670E\uF929" +
            "\u6766\u67BB\u6852\u67C0\u6801\u6844\u68CF\uFA13\u6968\uFA14\u6998\u69E2\u6A30\u6A6B\u6A46\u6A73" +
            "\u6A7E\u6AE2\u6AE4\u6BD6\u6C3F\u6C5C\u6C86\u6C6F\u6CDA\u6D04\u6D87\u6D6F\u6D96\u6DAC\u6DCF\u6DF8" +
            "\u6DF2\u6DFC\u6E39\u6E5C\u6E27\u6E3C\u6EBF\u6F88\u6FB5\u6FF5\u7005\u7007\u7028\u7085\u70AB\u710F" +
            "\u7104\u715C\u7146\u7147\uFA15\u71C1\u71FE\u72B1\u72BE\u7324\uFA16\u7377\u73BD\u73C9\u73D6\u73E3" +
            "\u73D2\u7407\u73F5\u7426\u742A\u7429\u742E\u7462\u7489\u749F\u7501\u756F\u7682\u769C\u769E\u769B" +
            "\u76A6\uFA17\u7746\u52AF\u7821\u784E\u7864\u787A\u7930\uFA18\uFA19\uFA1A\u7994\uFA1B\u799B\u7AD1" +
            "\u7AE7\uFA1C\u7AEB\u7B9E\uFA1D\u7D48\u7D5C\u7DB7\u7DA0\u7DD6\u7E52\u7F47\u7FA1\uFA1E\u8301\u8362" +
            "\u837F\u83C7\u83F6\u8448\u84B4\u8553\u8559\u856B\uFA1F\u85B0\uFA20\uFA21\u8807\u88F5\u8A12\u8A37" +
            "\u8A79\u8AA7\u8ABE\u8ADF\uFA22\u8AF6\u8B53\u8B7F\u8CF0\u8CF4\u8D12\u8D76\uFA23\u8ECF\uFA24\uFA25" +
            "\u9067\u90DE\uFA26\u9115\u9127\u91DA\u91D7\u91DE\u91ED\u91EE\u91E4\u91E5\u9206\u9210\u920A\u923A" +
            "\u9240\u923C\u924E\u9259\u9251\u9239\u9267\u92A7\u9277\u9278\u92E7\u92D7\u92D9\u92D0\uFA27\u92D5" +
            "\u92E0\u92D3\u9325\u9321\u92FB\uFA28\u931E\u92FF\u931D\u9302\u9370\u9357\u93A4\u93C6\u93DE\u93F8" +
            "\u9431\u9445\u9448\u9592\uF9DC\uFA29\u969D\u96AF\u9733\u973B\u9743\u974D\u974F\u9751\u9755\u9857" +
            "\u9865\uFA2A\uFA2B\u9927\uFA2C\u999E\u9A4E\u9AD9\u9ADC\u9B75\u9B72\u9B8F\u9BB1\u9BBB\u9C00\u9D70" +
            "\u9D6B\uFA2D\u9E19\u9ED1";

        // Code page 932 for decoding, strict: an undefined code throws.
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

        // The double-byte code of each character: JIS X 0208 and the NEC row
        // as the runtime decodes them, then the IBM extension; where a
        // character has several codes the lowest is written, as Windows does.
        static Dictionary<char, ushort> Codes
        {
            get
            {
                if (codes != null) return codes;
                var table = new Dictionary<char, ushort>();
                var pair = new byte[2];
                for (int lead = 0x81; lead <= 0xEA; lead++)
                {
                    if (lead >= 0xA0 && lead <= 0xDF) continue;
                    for (int trail = 0x40; trail <= 0xFC; trail++)
                    {
                        if (trail == 0x7F) continue;
                        pair[0] = (byte)lead;
                        pair[1] = (byte)trail;
                        string one;
                        try { one = Strict.GetString(pair); }
                        catch (DecoderFallbackException) { continue; }
                        // Some decoders give '?' for an undefined code.
                        if (one.Length != 1 || one[0] < 0x80) continue;
                        if (!table.ContainsKey(one[0])) table[one[0]] = (ushort)(lead << 8 | trail);
                    }
                }
                for (int i = 0; i < IbmExtension.Length; i++)
                {
                    int lead = 0xFA + i / 188, trail = 0x40 + i % 188;
                    if (trail >= 0x7F) trail++;
                    if (!table.ContainsKey(IbmExtension[i])) table[IbmExtension[i]] = (ushort)(lead << 8 | trail);
                }
                codes = table;
                return codes;
            }
        }

        // The bytes of one character, or null when code page 932 lacks it.
        static byte[] EncodeChar(char c)
        {
            if (c < 0x80) return new[] { (byte)c };
            if (c >= 0xFF61 && c <= 0xFF9F) return new[] { (byte)(c - 0xFF61 + 0xA1) };  // half-width katakana
            if (c >= 0xE000 && c <= 0xE757)  // the user-defined area, 0xF040 to 0xF9FC
            {
                int lead = 0xF0 + (c - 0xE000) / 188, trail = 0x40 + (c - 0xE000) % 188;
                if (trail >= 0x7F) trail++;
                return new[] { (byte)lead, (byte)trail };
            }
            int spelling = JisSpellings.IndexOf(c);
            if (spelling >= 0) c = Cp932Spellings[spelling];
            ushort code;
            if (!Codes.TryGetValue(c, out code)) return null;
            return new[] { (byte)(code >> 8), (byte)code };
        }

        // text in Shift-JIS, without a NUL.
        public static byte[] Encode(string field, string text)
        {
            if (text == null) text = "";
            int nul = text.IndexOf('\0');
            if (nul >= 0)
                throw new TarnletFieldException(field, "nul", "a NUL character at position " + nul + " would end the value", null);
            var bytes = new List<byte>(text.Length * 2);
            for (int i = 0; i < text.Length; i++)
            {
                byte[] one = char.IsSurrogate(text[i]) ? null : EncodeChar(text[i]);
                if (one == null) throw Unmappable(field, text, i);
                bytes.AddRange(one);
            }
            return bytes.ToArray();
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
            bool pair = char.IsSurrogatePair(text, index);
            int code = pair ? char.ConvertToUtf32(text, index) : text[index];
            string shown = pair ? text.Substring(index, 2) : char.IsSurrogate(text[index]) ? "?" : text[index].ToString();
            return new TarnletFieldException(field, "sjis", string.Format(
                "'{0}' (U+{1:X4}) at position {2} has no Shift-JIS (code page 932) form", shown, code, index), null);
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

    // What each result code means, in the words of "tarnlet codes".
    public static class ResultCodes
    {
        static readonly Dictionary<int, string> meanings = new Dictionary<int, string>
        {
            { 0, "message accepted by the server (250 after the end of data)" },
            { -1, "creating the SMTP socket failed" },
            { -2, "connecting to the SMTP server failed, or switching the socket to non-blocking mode" },
            { -3, "no 220 greeting from the SMTP server, or TLS on port 465 failed" },
            { -4, "a send failed (command, header, text, attachment data, end of data or AUTH line)" },
            { -5, "HELO or EHLO not answered with 250" },
            { -6, "MAIL FROM not answered with 250" },
            { -7, "a RCPT TO not answered with 250 (recipient refused)" },
            { -8, "DATA not answered with 354" },
            { -9, "the end of data not answered with 250 (message refused)" },
            { -11, "opening, positioning or reading an attachment file failed" },
            { -12, "POP before SMTP failed (on port 995 also: its TLS failed)" },
            { -13, "an authentication reply was not as expected (login refused, the EHLO reply on port 465 or 587 unusable, or STARTTLS failed)" },
            { -14, "the CRAM-MD5 challenge is not valid base64" },
            { -15, "SMTP server name: host not found" },
            { -16, "SMTP server name: temporary failure of the name service" },
            { -17, "SMTP server name: non-recoverable name service failure" },
            { -18, "SMTP server name: the name has no address record" },
            { -19, "SMTP server name: other lookup failure" },
            { -20, "POP3 server name: host not found" },
            { -21, "POP3 server name: temporary failure of the name service" },
            { -22, "POP3 server name: non-recoverable name service failure" },
            { -23, "POP3 server name: the name has no address record" },
            { -24, "POP3 server name: other lookup failure" },
            { -25, "no memory for the converted body text" },
            { -26, "no memory for the Subject, or encoding the Subject failed" },
            { -27, "starting the socket library failed" },
            { -29, "sending the Cc header line failed" },
            { -30, "the settings failed validation" },
            { -32, "no To and no Bcc recipient; or, on port 465 or 587, the server offers no login the library can use" },
        };

        public static IEnumerable<int> Codes { get { return meanings.Keys; } }

        public static string Meaning(int code)
        {
            string text;
            return meanings.TryGetValue(code, out text) ? text : "not a result code of this library";
        }
    }

    // A call the library answered with a negative result code: the code, what
    // it means and the log lines the call wrote.
    public sealed class TarnletException : Exception
    {
        public int Code { get; private set; }
        public string Meaning { get; private set; }
        public IList<string> LogLines { get; private set; }

        public TarnletException(int code, IList<string> logLines)
            : base("Tarnlet result " + code + ": " + ResultCodes.Meaning(code) +
                   (logLines.Count > 0 ? "\n  " + string.Join("\n  ", logLines) : ""))
        {
            Code = code;
            Meaning = ResultCodes.Meaning(code);
            LogLines = logLines;
        }
    }

    // Links under the names the library should send, in fresh folders (not
    // on Windows). The library also types a file by what follows the first
    // '.' of its whole path, so a folder holding '.' is left out the same way.
    sealed class Staging : IDisposable
    {
        [DllImport("libc.so.6", SetLastError = true)]
        static extern int symlink(byte[] target, byte[] link);
        // The links' names are Shift-JIS bytes, which no managed file name holds.
        [DllImport("libc.so.6", SetLastError = true)]
        static extern int unlink(byte[] path);

        // Folders of records made by ToSettings() alone, removed at exit.
        internal static readonly Staging Lasting = new Staging(true);
        readonly List<string> folders = new List<string>();
        readonly List<byte[]> links = new List<byte[]>();

        public Staging() { }

        Staging(bool lasting)
        {
            AppDomain.CurrentDomain.ProcessExit += (sender, e) => Dispose();
        }

        public byte[] PathOf(string path, string name, string folder)
        {
            bool ascii = true;
            foreach (char c in name) ascii &= c < 0x80;
            if (ascii && folder.IndexOfAny(new[] { '.', ';' }) < 0) return Encoding.UTF8.GetBytes(path);
            byte[] sjisName = ShiftJis.Encode("AppendFile", name);
            string temp = Path.GetTempPath();
            string staging = Path.Combine(temp.Contains(".") ? "/tmp" : temp, "tarnlet-" + Guid.NewGuid().ToString("N"));
            Directory.CreateDirectory(staging);
            folders.Add(staging);
            var link = new List<byte>(Encoding.UTF8.GetBytes(staging + "/"));
            link.AddRange(sjisName);
            byte[] terminated = link.ToArray();
            Array.Resize(ref terminated, terminated.Length + 1);
            byte[] target = Encoding.UTF8.GetBytes(Path.GetFullPath(path) + "\0");
            if (symlink(target, terminated) != 0)
                throw new IOException("cannot link " + path + " into " + staging + " (error " + Marshal.GetLastWin32Error() + ")");
            links.Add(terminated);
            return link.ToArray();
        }

        public void Dispose()
        {
            foreach (byte[] link in links) unlink(link);
            links.Clear();
            foreach (string folder in folders)
            {
                try { Directory.Delete(folder); }
                catch (IOException) { }
                catch (UnauthorizedAccessException) { }
            }
            folders.Clear();
        }
    }

    // Login: SMTP AUTH with CRAM-MD5, else PLAIN or LOGIN inside TLS;
    // CramMd5 is its name from 1.0.
    public enum AuthKind : short { None = 0, Login = 1, CramMd5 = 1, PopBeforeSmtp = 2 }

    // The words of the tarnlet command's --auth and the kind of each; the
    // first word of a kind is the one Word gives.
    public static class AuthNames
    {
        public static readonly string[] Words = { "none", "login", "cram-md5", "pop" };
        static readonly AuthKind[] Kinds = { AuthKind.None, AuthKind.Login, AuthKind.Login, AuthKind.PopBeforeSmtp };

        public static AuthKind Parse(string word)
        {
            int at = Array.IndexOf(Words, word);
            if (at < 0)
                throw new ArgumentException("auth: '" + word + "' is none of " + string.Join(", ", Words));
            return Kinds[at];
        }

        public static string Word(AuthKind kind)
        {
            int at = Array.IndexOf(Kinds, kind);
            if (at < 0) throw new ArgumentException("auth: no word for kind " + (short)kind);
            return Words[at];
        }
    }

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
        // Auth by the command's word: "none", "login" (or "cram-md5") or "pop" (with Apop).
        public string AuthName
        {
            get { return AuthNames.Word(Auth); }
            set { Auth = AuthNames.Parse(value); }
        }
        public string UserName { get; set; } = "";
        public string Password { get; set; } = "";
        public string Pop3Server { get; set; } // null: Server
        public int Pop3Port { get; set; } = 110;
        public bool Apop { get; set; }
        public bool StartSockets { get; set; } = true;

        // The record for this message, every field checked.
        MailSettings ToSettings(Staging staging)
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
            // The library splits lists at ';'; it drops every space of an
            // address list, and those around each path of the attachments.
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
            s.SetText("Log", LogPath);
            s.SetBytes("AppendFile", AttachmentList(staging));
            return s;
        }

        public MailSettings ToSettings()
        {
            return ToSettings(Native.IsWindows ? null : Staging.Lasting);
        }

        // The AppendFile bytes; each attachment must be readable now. On
        // Windows the library reads paths in the ANSI code page; elsewhere it
        // opens the path's bytes and names the file by the part after the
        // last '/' read as Shift-JIS, so a file whose name is not ASCII is
        // linked under its Shift-JIS name, as the tarnlet command does.
        byte[] AttachmentList(Staging staging)
        {
            var list = new List<byte>();
            foreach (string path in Attachments)
            {
                string name = Path.GetFileName(path ?? "");
                string folder = path == null ? "" : path.Substring(0, path.Length - name.Length);
                // A folder with ';' is left out of a staged path.
                if (name.IndexOf(';') >= 0 || (staging == null && folder.IndexOf(';') >= 0))
                    throw new TarnletFieldException("AppendFile", "separator",
                        "'" + path + "': an entry cannot hold ';'", null);
                if (path != path.Trim(' '))
                    throw new TarnletFieldException("AppendFile", "separator",
                        "'" + path + "': an entry cannot begin or end with a space", null);
                if (name.Length == 0)
                    throw new TarnletFieldException("AppendFile", "unreadable", "'" + path + "' names no file", null);
                try
                {
                    using (File.OpenRead(path)) { }
                }
                catch (Exception e) when (e is IOException || e is UnauthorizedAccessException || e is NotSupportedException)
                {
                    throw new TarnletFieldException("AppendFile", "unreadable", "'" + path + "' cannot be read: " + e.Message, null);
                }
                if (list.Count > 0) list.Add((byte)';');
                list.AddRange(staging == null ? ShiftJis.Encode("AppendFile", path) : staging.PathOf(path, name, folder));
            }
            return list.ToArray();
        }

        // Sends the message; returns 0, or throws TarnletException with the
        // result code and the log lines this call wrote.
        public int Send()
        {
            byte[] body = ShiftJis.Terminated("body", Body);
            using (var staging = Native.IsWindows ? null : new Staging())
                return Send(body, ToSettings(staging));
        }

        int Send(byte[] body, MailSettings s)
        {
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
            foreach (string line in ShiftJis.Decode(fresh).Split(new[] { "\r\n", "\n", "\r" }, StringSplitOptions.RemoveEmptyEntries))
            {
                if (line.Trim().Length > 0) lines.Add(line);
            }
            return lines;
        }
    }
}
