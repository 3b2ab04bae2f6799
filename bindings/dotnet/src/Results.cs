// The result documents as typed objects: amounts as decimal, date-times as DateTime.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.Text.RegularExpressions;

namespace Zrpa
{
    /// <summary>The elements of a flat result document.</summary>
    public static class Document
    {
        private static readonly Regex Element = new Regex(@"<([A-Za-z]+)>(.*?)</\1>", RegexOptions.Singleline);
        private static readonly Regex Entity = new Regex("&(lt|gt|quot|apos|amp);");

        /// <summary>Each element's unescaped text by name (the first of a name wins).</summary>
        public static IDictionary<string, string> Parse(string document)
        {
            var fields = new Dictionary<string, string>();
            foreach (Match m in Element.Matches(document ?? ""))
            {
                if (!fields.ContainsKey(m.Groups[1].Value))
                    fields[m.Groups[1].Value] = Entity.Replace(m.Groups[2].Value, Unescape);
            }
            return fields;
        }

        /// <summary>Text with the characters XML gives meaning to escaped, for an element's content.</summary>
        public static string Escape(string text)
        {
            return (text ?? "").Replace("&", "&amp;").Replace("<", "&lt;").Replace(">", "&gt;").Replace("\"", "&quot;");
        }

        private static string Unescape(Match m)
        {
            switch (m.Groups[1].Value)
            {
                case "lt": return "<";
                case "gt": return ">";
                case "quot": return "\"";
                case "apos": return "'";
                default: return "&";
            }
        }

        internal static string Text(IDictionary<string, string> fields, string name)
        {
            string value;
            return fields.TryGetValue(name, out value) ? value : "";
        }

        internal static decimal Amount(IDictionary<string, string> fields, string name)
        {
            string text = Text(fields, name);
            decimal value;
            if (text.Length == 0)
                return 0m;
            if (!decimal.TryParse(text, NumberStyles.AllowLeadingSign | NumberStyles.AllowDecimalPoint,
                                  CultureInfo.InvariantCulture, out value))
                throw new FormatException(name + " \"" + text + "\" is not a decimal amount");
            return value;
        }

        // "1899-12-30T00:00:00" is the documents' "no date".
        internal static DateTime? DateTimeOf(IDictionary<string, string> fields, string name)
        {
            string text = Text(fields, name);
            DateTime value;
            if (text.Length == 0 || text == "1899-12-30T00:00:00")
                return null;
            if (!DateTime.TryParse(text, CultureInfo.InvariantCulture, DateTimeStyles.None, out value))
                throw new FormatException(name + " \"" + text + "\" is not a date-time");
            return value;
        }
    }

    /// <summary>A payment, refund or void.</summary>
    public sealed class Payment
    {
        public decimal Amount { get; private set; }
        public string Currency { get; private set; }
        public DateTime? DateTime { get; private set; }
        public string Number { get; private set; }
        public string DeviceId { get; private set; }
        public string MaskedPan { get; private set; }
        public string Network { get; private set; }
        public string TransactionType { get; private set; }
        public string AuthCode { get; private set; }
        public string TraceAuditId { get; private set; }
        /// <summary>What a later void names (Terminal.Void).</summary>
        public string RefundReference { get; private set; }
        public string ReceiptText { get; private set; }
        public string LogFile { get; private set; }
        /// <summary>Every element of the result document.</summary>
        public IDictionary<string, string> Fields { get; private set; }

        internal Payment(IDictionary<string, string> f)
        {
            Amount = Document.Amount(f, "PaymentAmount");
            Currency = Document.Text(f, "PaymentCurrency");
            DateTime = Document.DateTimeOf(f, "PaymentDateTime");
            Number = Document.Text(f, "PaymentNumber");
            DeviceId = Document.Text(f, "DeviceId");
            MaskedPan = Document.Text(f, "MaskedPAN");
            Network = Document.Text(f, "PaymentNetwork");
            TransactionType = Document.Text(f, "TransactionType");
            AuthCode = Document.Text(f, "AuthCode");
            TraceAuditId = Document.Text(f, "TraceAuditId");
            RefundReference = Document.Text(f, "RefundReference");
            ReceiptText = Document.Text(f, "ReceiptText");
            LogFile = Document.Text(f, "LogFileName");
            Fields = f;
        }
    }

    /// <summary>A reprint of the terminal's last receipt.</summary>
    public sealed class Receipt
    {
        public string ReceiptText { get; private set; }
        public string CashierReceiptText { get; private set; }
        public IDictionary<string, string> Fields { get; private set; }

        internal Receipt(IDictionary<string, string> f)
        {
            ReceiptText = Document.Text(f, "ReceiptText");
            CashierReceiptText = Document.Text(f, "CashierReceiptText");
            Fields = f;
        }
    }

    /// <summary>The totals of the accounting period (GETTOTALS) or of the one just closed (DAYCLOSE).</summary>
    public sealed class Totals
    {
        public string DeviceId { get; private set; }
        public DateTime? DateTime { get; private set; }
        public int TransactionsCount { get; private set; }
        public decimal TotalAmount { get; private set; }
        public string Currency { get; private set; }
        public string ReceiptText { get; private set; }
        public string LogFile { get; private set; }
        public string ClosureNumber { get; private set; }
        public IDictionary<string, string> Fields { get; private set; }

        internal Totals(IDictionary<string, string> f)
        {
            DeviceId = Document.Text(f, "DeviceId");
            DateTime = Document.DateTimeOf(f, f.ContainsKey("DateTime") ? "DateTime" : "ClosureDateTime");
            string count = Document.Text(f, "TransactionsCount");
            TransactionsCount = count.Length == 0 ? 0 : int.Parse(count, CultureInfo.InvariantCulture);
            TotalAmount = Document.Amount(f, "TotalAmount");
            Currency = Document.Text(f, "Currency");
            ReceiptText = Document.Text(f, "ReceiptText");
            LogFile = Document.Text(f, "LogFileName");
            ClosureNumber = Document.Text(f, "ClosureNumber");
            Fields = f;
        }
    }

    /// <summary>A command that failed. Message: "COMMAND failed: error text"; the result document is kept.</summary>
    public class ZrpaException : Exception
    {
        public string Command { get; private set; }
        public string ErrorText { get; private set; }
        public string Document { get; private set; }
        public IDictionary<string, string> Fields { get; private set; }

        public ZrpaException(string command, string errorText, string document)
            : base(command + " failed: " + (string.IsNullOrEmpty(errorText) ? "no error text" : errorText))
        {
            Command = command;
            ErrorText = errorText ?? "";
            Document = document ?? "";
            Fields = Zrpa.Document.Parse(Document);
        }

        internal static ZrpaException For(string command, string errorText, string document)
        {
            string text = errorText ?? "";
            if (text.StartsWith("Outcome unknown:", StringComparison.Ordinal))
                return new OutcomeUnknownException(command, errorText, document);
            if (text.StartsWith("Not performed:", StringComparison.Ordinal))
                return new NotPerformedException(command, errorText, document);
            return new ZrpaException(command, errorText, document);
        }
    }

    /// <summary>The command was cancelled (Terminal.Cancel, or its time limit) before its request reached the
    /// terminal: nothing happened there, and it is safe to try again.</summary>
    public sealed class NotPerformedException : ZrpaException
    {
        public NotPerformedException(string command, string errorText, string document)
            : base(command, errorText, document)
        {
        }
    }

    /// <summary>The request reached the terminal but its answer did not come back (or the command was cancelled
    /// after that): the payment may have been approved. Do not charge again before checking (the device log,
    /// or the terminal's totals).</summary>
    public sealed class OutcomeUnknownException : ZrpaException
    {
        public OutcomeUnknownException(string command, string errorText, string document)
            : base(command, errorText, document)
        {
        }
    }
}
