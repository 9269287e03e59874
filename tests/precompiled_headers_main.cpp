// The program that owns the test programs' precompiled header; it does
// nothing itself.
int main() { return 0; }
