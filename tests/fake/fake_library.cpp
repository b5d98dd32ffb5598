// placeholder
extern "C" void glyphHerder() {}
