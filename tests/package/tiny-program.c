/* A Windows program of the smallest kind, packed and signed by the tests
   as a stand-in for the launcher. */
int main(void) { return 0; }
