// placeholder so the library has a source until the folder is filled
namespace valdrin {}
