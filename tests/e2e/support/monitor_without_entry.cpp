// A language monitor DLL that exports no InitializePrintMonitor2, so that
// the spooler cannot add it: the monitor of the package that the end-to-end
// test of a failed monitor registration unpacks.
