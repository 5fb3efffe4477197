// The fiscal printer command link (filled in with the console engine).
namespace zel {}
