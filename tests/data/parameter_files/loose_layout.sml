<?xml version="1.0"?>
<HEADER_INFO><ChannelInfo>
<Description><VectorString NumberOfElements="3"><ValueString ID="5">HH</ValueString><ValueString ID="0">HV</ValueString></VectorString></Description>
<IncidenceAngle>  	31.5 degrees</IncidenceAngle>
</ChannelInfo>
<RasterInfo>
   <NrOfLinesPerImage>12</NrOfLinesPerImage>
   <CellType></CellType>
   <BandName/>
</RasterInfo>
</HEADER_INFO>
