using System.Collections;
using System.Collections.Generic;

namespace Korvo.Comm
{
    /// <summary>
    /// The values of a command's response by the names of its response head; Fields keeps every
    /// value in order, also those the head has no name for.
    /// </summary>
    public sealed class Response : IReadOnlyDictionary<string, string>
    {
        private readonly Dictionary<string, string> values = new Dictionary<string, string>();

        public string Command { get; private set; }
        public IReadOnlyList<string> Names { get; private set; }
        public IReadOnlyList<string> Fields { get; private set; }

        internal Response(string command, string[] names, string[] fields)
        {
            Command = command;
            Names = names;
            Fields = fields;
            for (int i = 0; i < names.Length && i < fields.Length; i++) values[names[i]] = fields[i];
        }

        public string this[string name]
        {
            get
            {
                string value;
                if (!values.TryGetValue(name, out value))
                    throw new KeyNotFoundException("The response of " + Command + " has no value " + name);
                return value;
            }
        }

        public int Count
        {
            get { return values.Count; }
        }

        public IEnumerable<string> Keys
        {
            get { return values.Keys; }
        }

        public IEnumerable<string> Values
        {
            get { return values.Values; }
        }

        public bool ContainsKey(string name)
        {
            return values.ContainsKey(name);
        }

        public bool TryGetValue(string name, out string value)
        {
            return values.TryGetValue(name, out value);
        }

        public IEnumerator<KeyValuePair<string, string>> GetEnumerator()
        {
            return values.GetEnumerator();
        }

        IEnumerator IEnumerable.GetEnumerator()
        {
            return GetEnumerator();
        }
    }
}
