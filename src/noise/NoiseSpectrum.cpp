// Filled by the noise library.
namespace valdrin::noise {}
